#include "app/main_dialog.h"

#include <QAction>
#include <QCloseEvent>
#include <QCoreApplication>
#include <QFrame>
#include <QGuiApplication>
#include <QIcon>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>
#include <QVBoxLayout>

#include <algorithm>

#include "app/dialog_help.h"
#include "app/main_menu.h"
#include "app/tab_manager.h"
#include "app/write_check.h"
#include "base/tr_text.h"
#include "config/image_rules.h"
#include "diag/dialog_log.h"
#include "diag/dialog_monitor.h"
#include "diag/dialog_raw_bytes.h"
#include "link/dialog_connect.h"
#include "link/dialog_scan.h"
#include "pages/dialog_list.h"
#include "pages/dialog_maintain_register.h"
#include "pages/dialog_net_address.h"
#include "pages/dialog_net_server.h"
#include "pages/dialog_serial_param.h"
#include "protocol/dialog_configuration.h"
#include "ui/language_qt.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

MainDialog::MainDialog(QWidget* parent, PageFactory pages) : QDialog(parent) {
  setWindowTitle(QCoreApplication::translate("MainDialog", "设备配置工具"));
  setWindowFlags(Qt::Window | Qt::WindowTitleHint | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint |
                 Qt::WindowCloseButtonHint);
  setSizeGripEnabled(false);
  setFont(ui::pageFont());
  setWindowIcon(QIcon(QStringLiteral(":/icons/velmora.png")));
  setWindowTitle(QCoreApplication::translate("MainDialog", "设备配置工具 V1.00"));

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  buildMenu();
  layout->setMenuBar(menuBar_);
  client_ = new QWidget(this);
  layout->addWidget(client_);
  client_->installEventFilter(this);
  setMinimumSize(kMinimumWidth, kMinimumHeight);

  // The window's first size follows its dialog template, kept on the screen.
  QRect initial = ui::dialogUnits(font(), 0, 0, 455, 412);
  if (const QScreen* screen = QGuiApplication::primaryScreen()) {
    const QRect available = screen->availableGeometry();
    initial.setWidth(std::min(initial.width(), available.width() * 9 / 10));
    initial.setHeight(std::min(initial.height(), available.height() * 9 / 10));
  }
  resize(std::max(initial.width(), kMinimumWidth), std::max(initial.height(), kMinimumHeight));

  // Placeholders that give the two hosted windows their first rectangles.
  frame1001_ = new QFrame(client_);
  frame1002_ = new QFrame(client_);
  ui::setControlId(frame1001_, kTabFrameId);
  ui::setControlId(frame1002_, kPanelFrameId);
  frame1001_->setGeometry(ui::dialogUnits(font(), 3, 8, 445, 294));
  frame1002_->setGeometry(ui::dialogUnits(font(), 2, 308, 446, 92));

  tabHost_ = new TabManager(client_);
  tabHost_->setImage(&image_);
  tabHost_->createPages([this, &pages](int slot, QWidget* host) -> QWidget* {
    if (pages)
      if (QWidget* page = pages(slot, host)) return page;
    return makeDefaultPage(slot, host);
  });
  image_.setSlots(this);
  tabHost_->setGeometry(frame1001_->geometry());
  tabHost_->show();

  // Every slot is selected once, so the image starts out holding what the
  // pages store from their initial state.
  for (int slot = 0; slot < TabManager::kSlotCount; ++slot) tabHost_->selectPage(slot);
  tabHost_->selectPage(0);

  transferPanel_ = new DialogConfiguration(client_, this);
  transferPanel_->setMainWindow(this);
  transferPanel_->setGeometry(frame1002_->geometry());
  transferPanel_->show();
  // What a running transfer adds to the log and the monitor is shown in the
  // pauses between frames.
  transferPanel_->setPauseHook([this] { showHeldViews(); });
  transferPanel_->engine().setTransferEnded([this](const TransferOutcome& outcome) { onTransferEnded(outcome); });
  transferPanel_->engine().setWriteApproval([this](const std::vector<uint8_t>& image) { return approveWrite(image); });

  // Cross-links between the strip and the connection page.
  if (auto* connectPage = dynamic_cast<DialogConnect*>(tabHost_->page(TabManager::kConnectSlot))) {
    connectPage->setPanel(transferPanel_);
    transferPanel_->setConnectionPage(&connectPage->deviceLink());
  }
  // The monitor hears both halves of the link: what goes out and what the
  // strip cuts out of the bytes that come in.
  if (auto* monitor = dynamic_cast<DialogMonitor*>(tabHost_->page(TabManager::kMonitorSlot))) {
    transferPanel_->engine().setFrameObserver(monitor);
    if (auto* connectPage = dynamic_cast<DialogConnect*>(tabHost_->page(TabManager::kConnectSlot)))
      connectPage->setFrameObserver(monitor);
  }

  frame1001_->hide();
  frame1002_->hide();
  ui::padButtons(this);
  fitMinimumSize();
  layoutChildren();
  logMessage(trText("MainDialog", "程序启动"));
  // The strip's own start-up line follows, so "程序启动" stays the log's first line.
  transferPanel_->start();
}

MainDialog::~MainDialog() {
  // The transfer strip goes first, then the tab host with its pages.
  delete transferPanel_;
  transferPanel_ = nullptr;
  delete tabHost_;
  tabHost_ = nullptr;
}

QWidget* MainDialog::makeDefaultPage(int slot, QWidget* parent) {
  switch (slot) {
    case TabManager::kConnectSlot:
      return new DialogConnect(parent, this);
    case 1:
      return new DialogSerialParam(parent);
    case 2:
      return new DialogNetAddress(parent);
    case 3:
      return new DialogNetServer(parent);
    case 4:
      return new DialogMaintainRegister(parent, this);
    case 5:
      return new DialogDataTest(parent);
    case 6:
      return new DialogList(parent);
    case TabManager::kLogSlot:
      return new DialogLog(parent);
    case TabManager::kHelpSlot:
      return new DialogHelp(parent);
    case TabManager::kMonitorSlot:
      return new DialogMonitor(parent);
    default:
      return nullptr;
  }
}

void MainDialog::buildMenu() {
  menuBar_ = new QMenuBar(this);
  for (const MenuPopup& popup : mainMenu()) {
    QMenu* menu = menuBar_->addMenu(ui::trQ("MainDialog", popup.caption));
    for (const MenuEntry& item : popup.items) {
      if (item.id == 0) {
        menu->addSeparator();
        continue;
      }
      QAction* action = menu->addAction(ui::trQ("MainDialog", item.caption));
      action->setObjectName(QString::number(item.id));
      // A caption that shows a key ("\tCtrl+N") gets that key: a menu must not
      // promise a shortcut that does nothing. The caption stays as it is.
      const QString text = action->text();
      if (const qsizetype tab = text.indexOf(QLatin1Char('\t')); tab >= 0) {
        action->setShortcut(QKeySequence(text.mid(tab + 1)));
        addAction(action);  // the window's own, so the key works with every menu closed
      }
      connect(action, &QAction::triggered, this, [this, id = item.id] { runCommand(id); });
    }
  }
}

void MainDialog::runCommand(int id) {
  switch (id) {
    case kFileNew:
      newImage();
      break;
    case kFileOpen:
      openFile();
      break;
    case kFileSave:
      saveFile();
      break;
    case kAppExit:
      QMetaObject::invokeMethod(this, &QWidget::close, Qt::QueuedConnection);
      break;
    case kDeviceScan:
      runDeviceScan();
      break;
    case kCompareDevice:
      compareWithDevice();
      break;
    case kRestoreBackup:
      restoreBackup();
      break;
    case kAppHelp:
      if (tabHost_) tabHost_->selectPage(TabManager::kHelpSlot);
      break;
    default:  // 设备配置 does nothing
      break;
  }
}

QAction* MainDialog::action(int commandId) const {
  return menuBar_->findChild<QAction*>(QString::number(commandId));
}

void MainDialog::setScanTarget(const QString& host, quint16 port) {
  scanHost_ = host;
  scanPort_ = port;
}

void MainDialog::runDeviceScan() {
  DialogScan scan(nullptr, scanHost_, scanPort_);
  // The device picked in the list is the one the user wants to connect to.
  if (auto* connectPage = dynamic_cast<DialogConnect*>(tabHost_ ? tabHost_->page(TabManager::kConnectSlot) : nullptr))
    connect(&scan, &DialogScan::deviceChosen, connectPage, &DialogConnect::useScannedAddress);
  scan.exec();
}

void MainDialog::fitMinimumSize() {
  // The pages are placed by hand, so their layouts' minimums bind only
  // through the window's: never smaller than what the largest page and the
  // whole tab bar need (nor than 700 × 500). Cut controls and half captions
  // would help nobody, on however small a screen.
  const QSize tabs = tabHost_->minimumSizeHint();
  const QSize panel = transferPanel_->minimumSizeHint();
  setMinimumSize(std::max({kMinimumWidth, tabs.width() + 2 * kClientMargin, panel.width() + 2 * kClientMargin}),
                 std::max(kMinimumHeight, menuBar_->sizeHint().height() + tabs.height() + kStripRoom));
  resize(size().expandedTo(minimumSize()));
}

void MainDialog::layoutChildren() {
  const int w = client_->width();
  const int h = client_->height();
  if (tabHost_) tabHost_->setGeometry(kClientMargin, kClientMargin, w - 2 * kClientMargin, h - kStripRoom);
  if (transferPanel_)
    transferPanel_->setGeometry(kClientMargin, h - kStripRoom + 2 * kClientMargin, w - 2 * kClientMargin,
                                kStripRoom - 3 * kClientMargin);
}

bool MainDialog::eventFilter(QObject* watched, QEvent* event) {
  if (watched == client_ && event->type() == QEvent::Resize) layoutChildren();
  return QDialog::eventFilter(watched, event);
}

void MainDialog::keyPressEvent(QKeyEvent* event) {
  // Enter and Escape never confirm or close the main window; pages leave
  // them to propagate here.
  if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter || event->key() == Qt::Key_Escape) {
    event->accept();
    return;
  }
  QDialog::keyPressEvent(event);
}

void MainDialog::closeEvent(QCloseEvent* event) {
  if (!ui::askYesNo(this, QCoreApplication::translate("MainDialog", "确定要退出程序吗？"))) {
    event->ignore();
    return;
  }
  QDialog::closeEvent(event);
}

void MainDialog::logMessage(const std::string& text) {
  if (tabHost_ == nullptr) return;
  auto* log = dynamic_cast<DialogLog*>(tabHost_->page(TabManager::kLogSlot));
  if (log == nullptr) return;
  if (transferPanel_ != nullptr && transferPanel_->engine().fields().operationState != kIdle) log->holdView();
  log->appendLog(text);
}

bool MainDialog::approveWrite(const std::vector<uint8_t>& image) {
  const WriteCheckReport report = writeCheckReport(checkImage(image));
  for (const std::string& line : report.logLines) logMessage(line);
  if (report.question.empty() || ui::askYesNo(this, QString::fromStdString(report.question))) return true;
  logMessage(trText("WriteCheck", kWriteCheckDeclined));
  return false;
}

void MainDialog::showHeldViews() {
  if (tabHost_ == nullptr) return;
  if (auto* log = dynamic_cast<DialogLog*>(tabHost_->page(TabManager::kLogSlot))) log->release();
  if (auto* monitor = dynamic_cast<DialogMonitor*>(tabHost_->page(TabManager::kMonitorSlot))) monitor->flush();
  // Painted now, inside the pause: painting after the next frame went out
  // would hold up the reading of its answer.
  QCoreApplication::sendPostedEvents(this, QEvent::UpdateRequest);
}

void MainDialog::loadImage(const uint8_t* data, int32_t length) { image_.loadImage(data, length); }

bool MainDialog::gatherCurrentPage() { return image_.gatherCurrentPage(); }

DialogChildBase* MainDialog::imagePage(int slot) const {
  return tabHost_ != nullptr ? dynamic_cast<DialogChildBase*>(tabHost_->page(slot)) : nullptr;
}

int MainDialog::currentPage() const { return tabHost_ != nullptr ? tabHost_->currentPage() : -1; }

}  // namespace velmora

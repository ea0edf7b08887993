#include "pages/dialog_maintain_register.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "base/tr_text.h"
#include "pages/elided_combo_widget.h"
#include "pages/register_map_widget.h"
#include "pages/report_list_widget.h"
#include "pages/tooltip_widget.h"
#include "ui/language_qt.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

namespace {
bool isEnterOrEscape(const QEvent* event) {
  if (event->type() != QEvent::KeyPress) return false;
  const int key = static_cast<const QKeyEvent*>(event)->key();
  return key == Qt::Key_Return || key == Qt::Key_Enter || key == Qt::Key_Escape;
}
}  // namespace

DialogMaintainRegister::DialogMaintainRegister(QWidget* parent, LogSink* log) : QWidget(parent), log_(log) {
  setFont(ui::pageFont());
  buildControls();
  showRegisters();
  buildToolTips();
}

void DialogMaintainRegister::buildControls() {
  auto* group = new QGroupBox(QCoreApplication::translate("DialogMaintainRegister", "保持寄存器配置"), this);
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(12, 8, 12, 10);
  grid->setHorizontalSpacing(6);
  grid->setVerticalSpacing(10);

  functionEnable_ = new QCheckBox(QCoreApplication::translate("DialogMaintainRegister", "保持寄存器使能"), group);
  ui::setControlId(functionEnable_, kIdFunctionEnable);
  confirm_ = new QPushButton(QCoreApplication::translate("DialogMaintainRegister", "修改确认"), group);
  ui::setControlId(confirm_, kIdConfirm);
  noAutoDefault({confirm_});
  pendingNote_ = new QLabel(ui::trQ("HoldingRegisterRecords", kPendingEditsNote), group);
  pendingNote_->setObjectName(QStringLiteral("pendingNote"));
  pendingNote_->hide();
  grid->addWidget(functionEnable_, 0, 0, 1, 4);
  grid->addWidget(pendingNote_, 0, 4, 1, 3, Qt::AlignRight | Qt::AlignVCenter);
  grid->addWidget(confirm_, 0, 7, Qt::AlignRight);

  const int numberWidth = fontMetrics().horizontalAdvance(QStringLiteral("65535")) + 18;
  for (int r = 0; r < kRegisterRows; ++r) {
    RowControls& row = rows_[r];
    const int gridRow = r + 1;
    grid->addWidget(new QLabel(ui::trQ("HoldingRegisterRecords", kRegisterRowNames[static_cast<size_t>(r)]), group),
                    gridRow, 0);
    row.enable = new QCheckBox(QCoreApplication::translate("DialogMaintainRegister", "使能"), group);
    ui::setControlId(row.enable, rowControlId(r, 0));
    grid->addWidget(row.enable, gridRow, 1);
    grid->addWidget(new QLabel(QCoreApplication::translate("DialogMaintainRegister", "地址"), group), gridRow, 2);
    row.address = new QLineEdit(group);
    ui::setControlId(row.address, rowControlId(r, 1));
    grid->addWidget(row.address, gridRow, 3);
    grid->addWidget(new QLabel(QCoreApplication::translate("DialogMaintainRegister", "数量"), group), gridRow, 4);
    row.count = new QLineEdit(group);
    ui::setControlId(row.count, rowControlId(r, 2));
    grid->addWidget(row.count, gridRow, 5);
    grid->addWidget(new QLabel(QCoreApplication::translate("DialogMaintainRegister", "位数"), group), gridRow, 6);
    auto* width = new ElidedComboBox(group);
    row.width = width;
    ui::setControlId(row.width, rowControlId(r, 3));
    grid->addWidget(row.width, gridRow, 7);

    for (QLineEdit* edit : {row.address, row.count}) {
      edit->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), edit));
      edit->setMaxLength(10);
      edit->setFixedWidth(numberWidth);
    }
    for (const char* item : kWidthItems[static_cast<size_t>(r)])
      row.width->addItem(ui::trQ("HoldingRegisterRecords", item));
    // The box shrinks with the page; its list always shows the whole items.
    row.width->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    row.width->setMinimumContentsLength(8);
    row.width->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    width->fitPopupToItems();
  }
  grid->setColumnStretch(7, 1);

  auto* mapGroup = new QGroupBox(QCoreApplication::translate("DialogMaintainRegister", "寄存器地址分布"), this);
  auto* mapLayout = new QVBoxLayout(mapGroup);
  mapLayout->setContentsMargins(6, 4, 6, 4);
  map_ = new RegisterMapWidget(mapGroup);
  map_->setObjectName(QStringLiteral("registerMap"));
  mapLayout->addWidget(map_);

  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(8, 8, 8, 8);
  page->addWidget(group);
  page->addWidget(mapGroup);
  page->addStretch(1);

  connect(confirm_, &QPushButton::clicked, this, &DialogMaintainRegister::captureRegisters);
  // Every edit of a control may start or end the pending state.
  connect(functionEnable_, &QCheckBox::toggled, this, &DialogMaintainRegister::updatePending);
  for (const RowControls& row : rows_) {
    connect(row.enable, &QCheckBox::toggled, this, &DialogMaintainRegister::updatePending);
    connect(row.address, &QLineEdit::textChanged, this, &DialogMaintainRegister::updatePending);
    connect(row.count, &QLineEdit::textChanged, this, &DialogMaintainRegister::updatePending);
    connect(row.width, &QComboBox::currentIndexChanged, this, &DialogMaintainRegister::updatePending);
  }

  // Enter and Escape never reach a control of this page (nor the main dialog
  // behind it): Enter must not act as "修改确认", Escape must not close anything.
  installEventFilter(this);
  const QList<QWidget*> controls = group->findChildren<QWidget*>(QString(), Qt::FindDirectChildrenOnly);
  for (QWidget* w : controls) w->installEventFilter(this);
}

void DialogMaintainRegister::buildToolTips() {
  toolTips_ = new ToolTipWidget(this);
  toolTips_->setTipFont(ui::pageFont());
  toolTips_->setDelays(kRegisterTipInitialMs, kRegisterTipAutoPopMs, kRegisterTipReshowMs);
  toolTips_->setMaxTipWidth(kRegisterTipMaxWidth);
  for (const ToolTipRow& t : maintainRegisterToolTips())
    toolTips_->addTool(findChild<QWidget*>(ui::controlName(t.id)),
                       QCoreApplication::translate("DialogMaintainRegister", t.text));
  toolTips_->activate(true);
}

bool DialogMaintainRegister::eventFilter(QObject* watched, QEvent* event) {
  if (isEnterOrEscape(event)) return true;
  return QWidget::eventFilter(watched, event);
}

void DialogMaintainRegister::keyPressEvent(QKeyEvent* event) {
  if (isEnterOrEscape(event)) {
    event->accept();
    return;
  }
  QWidget::keyPressEvent(event);
}

HoldingRegisterControls DialogMaintainRegister::readControls() const {
  HoldingRegisterControls c;
  c.functionEnable = functionEnable_->isChecked();
  for (int r = 0; r < kRegisterRows; ++r) {
    RegisterRowControls& row = c.rows[static_cast<size_t>(r)];
    row.enable = rows_[r].enable->isChecked();
    row.addressText = rows_[r].address->text().toStdString();
    row.countText = rows_[r].count->text().toStdString();
    row.widthSelection = rows_[r].width->currentIndex();
  }
  return c;
}

void DialogMaintainRegister::showRegisters() {
  suppressEvents = true;
  const HoldingRegisterControls c = records_.showRegisters();
  functionEnable_->setChecked(c.functionEnable);
  for (int r = 0; r < kRegisterRows; ++r) {
    const RegisterRowControls& row = c.rows[static_cast<size_t>(r)];
    rows_[r].enable->setChecked(row.enable);
    rows_[r].address->setText(QString::fromStdString(row.addressText));
    rows_[r].count->setText(QString::fromStdString(row.countText));
    rows_[r].width->setCurrentIndex(row.widthSelection);
  }
  suppressEvents = false;
  updatePending();
}

void DialogMaintainRegister::captureRegisters() {
  if (suppressEvents) return;
  records_.captureRegisters(readControls());
  updatePending();
}

void DialogMaintainRegister::updatePending() {
  if (suppressEvents) return;
  const HoldingRegisterControls controls = readControls();
  // The map follows the typing: it shows what a confirmation would take.
  map_->setMap(shownRegisterMap(records_, controls));
  if (!pending_.controlsChanged(records_, controls)) return;
  pendingNote_->setVisible(pending_.pending());
  if (pending_.pending()) {
    QPalette marked = confirm_->palette();
    marked.setColor(QPalette::Button, marked.color(QPalette::Highlight));
    marked.setColor(QPalette::ButtonText, marked.color(QPalette::HighlightedText));
    confirm_->setPalette(marked);
  } else {
    confirm_->setPalette(QPalette());  // back to the page's own
  }
}

void DialogMaintainRegister::logDroppedEdits() {
  const std::string line = pending_.droppedLine();
  if (log_ && !line.empty()) log_->logMessage(line);
}

void DialogMaintainRegister::loadFromImage(const uint8_t* data, int32_t length) {
  logDroppedEdits();  // the load replaces them
  records_.load(data, length);
  showRegisters();
}

StoreResult DialogMaintainRegister::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  // The image takes the records, not the edits; a page change leaves them
  // behind for the next load to replace.
  logDroppedEdits();
  records_.store(buffer, length, capacity);
  return StoreResult::stored();
}

}  // namespace velmora

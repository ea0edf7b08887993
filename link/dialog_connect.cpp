#include "link/dialog_connect.h"

#include <QButtonGroup>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QVBoxLayout>

#include "ui/language_qt.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

namespace {

QString qs(const std::string& text) { return QString::fromStdString(text); }

template <typename W>
W* numbered(W* widget, int id) {
  ui::setControlId(widget, id);
  return widget;
}

QComboBox* fixedList(const char* const* entries, size_t count, int selected, int id) {
  auto* combo = numbered(new QComboBox, id);
  // Numbers have no translation and come back as they are.
  for (size_t i = 0; i < count; ++i) combo->addItem(ui::trQ("LineSettings", entries[i]));
  combo->setCurrentIndex(selected);
  return combo;
}

}  // namespace

DialogConnect::DialogConnect(QWidget* parent, LogSink* log)
    : QWidget(parent), channels_(this), logic_(*this, channels_.serial(), channels_.tcp(), log) {
  setFont(ui::pageFont());
  buildControls();
  // The port box follows plug and unplug; the page's refresh and the doctor use its search and history.
  livePorts_ = std::make_unique<LivePortList>(serialPortCombo_, log);
  channels_.setPortLister([this] { return livePorts_->scan(); });
  channels_.setPortHistory(&livePorts_->history());
  logic_.start();
}

DialogConnect::~DialogConnect() {
  // TCP first, then the serial port, while every control still exists.
  logic_.shutdown();
  channels_.setPortHistory(nullptr);
}

void DialogConnect::buildControls() {
  using namespace connect_id;

  radioTcp_ = numbered(new QRadioButton(QStringLiteral("TCP")), kRadioTcp);
  radioSerial_ = numbered(new QRadioButton(QCoreApplication::translate("DialogConnect", "串口")), kRadioSerial);
  // The two sit in different group boxes, so the group makes them exclusive.
  transportGroup_ = new QButtonGroup(this);
  transportGroup_->addButton(radioTcp_, kTransportTcp);
  transportGroup_->addButton(radioSerial_, kTransportSerial);
  radioSerial_->setChecked(true);
  connect(radioTcp_, &QRadioButton::clicked, this, [this] { logic_.onTransportChosen(kTransportTcp); });
  connect(radioSerial_, &QRadioButton::clicked, this, [this] { logic_.onTransportChosen(kTransportSerial); });

  ipEdit_ = numbered(new QLineEdit(QString::fromUtf8(kDefaultTcpHost)), kIpEdit);
  portEdit_ = numbered(new QLineEdit(QString::fromUtf8(kDefaultTcpPort)), kPortEdit);
  portEdit_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), portEdit_));

  serialPortCombo_ = numbered(new QComboBox, kSerialPortCombo);
  // Editable, so a path that no search finds (a pty) can be typed in.
  serialPortCombo_->setEditable(true);
  serialPortCombo_->setInsertPolicy(QComboBox::NoInsert);
  serialPortCombo_->setMinimumContentsLength(16);
  refreshButton_ = numbered(new QPushButton(QCoreApplication::translate("DialogConnect", "刷新")), kRefreshButton);
  baudCombo_ = fixedList(kBaudEntries, std::size(kBaudEntries), kDefaultBaudIndex, kBaudCombo);
  dataBitsCombo_ = fixedList(kDataBitsEntries, std::size(kDataBitsEntries), kDefaultDataBitsIndex, kDataBitsCombo);
  stopBitsCombo_ = fixedList(kStopBitsEntries, std::size(kStopBitsEntries), 0, kStopBitsCombo);
  parityCombo_ = fixedList(kParityEntries, std::size(kParityEntries), 0, kParityCombo);

  connectButton_ = numbered(new QPushButton(QCoreApplication::translate("DialogConnect", "连接")), kConnectButton);
  statusText_ = numbered(new QLabel(QCoreApplication::translate("DialogConnect", "状态")), kStatusText);
  statusText_->setTextInteractionFlags(Qt::TextSelectableByMouse);

  addressEdit_ = numbered(new QLineEdit(QString::fromUtf8(kDefaultAddressText)), kAddressEdit);
  readAddressButton_ =
      numbered(new QPushButton(QCoreApplication::translate("DialogConnect", "读地址")), kReadAddressButton);
  writeAddressButton_ =
      numbered(new QPushButton(QCoreApplication::translate("DialogConnect", "写地址")), kWriteAddressButton);
  addressMessageEdit_ = numbered(new QLineEdit, kAddressMessageEdit);
  addressMessageEdit_->setReadOnly(true);

  connect(refreshButton_, &QPushButton::clicked, this, [this] { logic_.onRefreshButton(); });
  connect(connectButton_, &QPushButton::clicked, this, [this] { logic_.onConnectButton(); });
  connect(readAddressButton_, &QPushButton::clicked, this, [this] { logic_.onReadAddressButton(); });
  connect(writeAddressButton_, &QPushButton::clicked, this, [this] { logic_.onWriteAddressButton(); });

  auto* serialBox = new QGroupBox(QCoreApplication::translate("DialogConnect", "串口连接"));
  auto* serialGrid = new QGridLayout(serialBox);
  serialGrid->addWidget(radioSerial_, 0, 0, 1, 3);
  serialGrid->addWidget(new QLabel(QCoreApplication::translate("DialogConnect", "串口:")), 1, 0);
  serialGrid->addWidget(serialPortCombo_, 1, 1);
  serialGrid->addWidget(refreshButton_, 1, 2);
  serialGrid->addWidget(new QLabel(QCoreApplication::translate("DialogConnect", "波特率:")), 2, 0);
  serialGrid->addWidget(baudCombo_, 2, 1);
  serialGrid->addWidget(new QLabel(QCoreApplication::translate("DialogConnect", "数据位:")), 3, 0);
  serialGrid->addWidget(dataBitsCombo_, 3, 1);
  serialGrid->addWidget(new QLabel(QCoreApplication::translate("DialogConnect", "停止位:")), 4, 0);
  serialGrid->addWidget(stopBitsCombo_, 4, 1);
  serialGrid->addWidget(new QLabel(QCoreApplication::translate("DialogConnect", "校验位:")), 5, 0);
  serialGrid->addWidget(parityCombo_, 5, 1);
  serialGrid->setColumnStretch(1, 1);

  auto* tcpBox = new QGroupBox(QCoreApplication::translate("DialogConnect", "网络连接"));
  auto* tcpGrid = new QGridLayout(tcpBox);
  tcpGrid->addWidget(radioTcp_, 0, 0, 1, 2);
  tcpGrid->addWidget(new QLabel(QCoreApplication::translate("DialogConnect", "IP地址:")), 1, 0);
  tcpGrid->addWidget(ipEdit_, 1, 1);
  tcpGrid->addWidget(new QLabel(QCoreApplication::translate("DialogConnect", "端口:")), 2, 0);
  tcpGrid->addWidget(portEdit_, 2, 1);
  tcpGrid->setColumnStretch(1, 1);
  tcpGrid->setRowStretch(3, 1);

  auto* controlBox = new QGroupBox(QCoreApplication::translate("DialogConnect", "连接控制"));
  auto* controlRow = new QHBoxLayout(controlBox);
  controlRow->addWidget(connectButton_);
  controlRow->addWidget(statusText_, 1);

  auto* addressBox = new QGroupBox(QCoreApplication::translate("DialogConnect", "设备地址查询和修改"));
  auto* addressGrid = new QGridLayout(addressBox);
  addressGrid->addWidget(new QLabel(QCoreApplication::translate("DialogConnect", "设备地址:")), 0, 0);
  addressGrid->addWidget(addressEdit_, 0, 1);
  addressGrid->addWidget(readAddressButton_, 0, 2);
  addressGrid->addWidget(writeAddressButton_, 0, 3);
  addressGrid->addWidget(new QLabel(QCoreApplication::translate("DialogConnect", "读写地址消息:")), 1, 0);
  addressGrid->addWidget(addressMessageEdit_, 1, 1, 1, 3);
  addressGrid->setColumnStretch(1, 1);

  auto* top = new QHBoxLayout;
  top->addWidget(serialBox, 1);
  top->addWidget(tcpBox, 1);
  auto* page = new QVBoxLayout(this);
  page->addLayout(top);
  page->addWidget(controlBox);
  page->addWidget(addressBox);
  page->addStretch(1);
}

void DialogConnect::customEvent(QEvent* event) {
  if (!channels_.dispatch(event, logic_))
    QWidget::customEvent(event);
}

std::string DialogConnect::ipText() const { return ipEdit_->text().toStdString(); }
std::string DialogConnect::tcpPortText() const { return portEdit_->text().toStdString(); }
std::string DialogConnect::serialPortText() const { return livePorts_->pathOf(serialPortCombo_->currentText()); }

std::optional<std::string> DialogConnect::baudEntry() const {
  const int i = baudCombo_->currentIndex();
  if (i < 0) return std::nullopt;
  return baudCombo_->itemText(i).toStdString();
}

std::optional<std::string> DialogConnect::dataBitsEntry() const {
  const int i = dataBitsCombo_->currentIndex();
  if (i < 0) return std::nullopt;
  return dataBitsCombo_->itemText(i).toStdString();
}

int DialogConnect::stopBitsIndex() const { return stopBitsCombo_->currentIndex(); }
int DialogConnect::parityIndex() const { return parityCombo_->currentIndex(); }
std::string DialogConnect::addressText() const { return addressEdit_->text().toStdString(); }

void DialogConnect::setStatusText(const std::string& text) { statusText_->setText(qs(text)); }
void DialogConnect::setAddressText(const std::string& text) { addressEdit_->setText(qs(text)); }
void DialogConnect::setAddressMessage(const std::string& text) { addressMessageEdit_->setText(qs(text)); }

void DialogConnect::useScannedAddress(const QString& address) { logic_.onScannedAddress(address.toStdString()); }

void DialogConnect::setIpText(const std::string& text) { ipEdit_->setText(qs(text)); }

void DialogConnect::showTransport(int32_t transport) {
  (transport == kTransportTcp ? radioTcp_ : radioSerial_)->setChecked(true);
}

void DialogConnect::setPortList(const std::vector<std::string>& ports) { livePorts_->showRefreshed(ports); }

void DialogConnect::applyControlStates(const ControlStates& s) {
  for (QWidget* w : std::initializer_list<QWidget*>{radioTcp_, radioSerial_}) w->setEnabled(s.transportRadios);
  for (QWidget* w : std::initializer_list<QWidget*>{serialPortCombo_, baudCombo_, dataBitsCombo_, stopBitsCombo_,
                                                    parityCombo_, refreshButton_})
    w->setEnabled(s.serialControls);
  for (QWidget* w : std::initializer_list<QWidget*>{ipEdit_, portEdit_}) w->setEnabled(s.tcpControls);
  for (QWidget* w : std::initializer_list<QWidget*>{addressEdit_, readAddressButton_, writeAddressButton_,
                                                    addressMessageEdit_})
    w->setEnabled(s.addressControls);
  connectButton_->setEnabled(s.connectButton);
  connectButton_->setText(QString::fromUtf8(s.connectCaption.data(), static_cast<qsizetype>(s.connectCaption.size())));
}

void DialogConnect::showMessage(const std::string& text) { ui::messageBox(this, qs(text)); }

}  // namespace velmora

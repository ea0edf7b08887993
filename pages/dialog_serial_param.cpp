#include "pages/dialog_serial_param.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QResizeEvent>
#include <QTableWidget>
#include <QVBoxLayout>

#include "base/line_settings.h"
#include "base/text.h"
#include "base/tr_text.h"
#include "config/unit_text.h"
#include "pages/report_list_widget.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

namespace {
QLabel* label(const QString& text, int id, QWidget* parent) {
  auto* l = new QLabel(text, parent);
  ui::setControlId(l, id);
  return l;
}

QStringList toQt(const std::array<std::string, 6>& texts) {
  QStringList out;
  for (const std::string& t : texts) out << QString::fromStdString(t);
  return out;
}
}  // namespace

DialogSerialParam::DialogSerialParam(QWidget* parent) : QWidget(parent) {
  setFont(ui::pageFont());
  buildControls();

  // Opening the page: lists filled, first port selected and shown.
  portName_->setText(QCoreApplication::translate("DialogSerialParam", "数据口1"));
  for (int32_t rate : kBaudRates) baud_->addItem(QString::number(rate));
  baud_->setCurrentIndex(3);
  dataBits_->addItem(QStringLiteral("8"));
  dataBits_->setCurrentIndex(0);
  // Both lists in the order of the codes an image stores.
  for (int code = 0; code < kStoredStopBitsCodes; ++code) stopBits_->addItem(QString::fromStdString(stopBitsText(code)));
  stopBits_->setCurrentIndex(0);
  for (int code = 0; code < kStoredParityCodes; ++code) parity_->addItem(QString::fromStdString(parityLongText(code)));
  parity_->setCurrentIndex(0);

  refreshDataPortList();
  records_.open();
  markRowSelected(list_, 0);
  showPort(0);
  layoutPage();
}

void DialogSerialParam::buildControls() {
  // The group boxes first, so the list and buttons drawn over 4001 stay on top.
  listGroup_ = new QGroupBox(QCoreApplication::translate("DialogSerialParam", "数据口列表"), this);
  ui::setControlId(listGroup_, kIdListGroup);
  paramGroup_ = new QGroupBox(QCoreApplication::translate("DialogSerialParam", "数据口参数"), this);
  ui::setControlId(paramGroup_, kIdParamGroup);

  add_ = new QPushButton(QCoreApplication::translate("DialogSerialParam", "添加"), this);
  ui::setControlId(add_, kIdAdd);
  remove_ = new QPushButton(QCoreApplication::translate("DialogSerialParam", "删除"), this);
  ui::setControlId(remove_, kIdRemove);
  noAutoDefault({add_, remove_});
  add_->resize(add_->sizeHint());
  remove_->resize(remove_->sizeHint());

  list_ = makeReportList(this, kIdList,
                         // The widest port name, for a language whose names are longer.
                         {{QCoreApplication::translate("DialogSerialParam", "数据口"), 100,
                           QString::fromStdString(strprintf(trText("SerialPortRecords", "数据口%d"), kMaxDataPorts))},
                          {QCoreApplication::translate("DialogSerialParam", "波特率"), 80, QStringLiteral("115200")},
                          {QCoreApplication::translate("DialogSerialParam", "数据位"), 70},
                          {QCoreApplication::translate("DialogSerialParam", "停止位"), 70},
                          {QCoreApplication::translate("DialogSerialParam", "校验位"), 70,
                           QString::fromStdString(parityLongText(Parity::Mark))},
                          {QCoreApplication::translate("DialogSerialParam", "协议"), 140}});

  // Parameters: the line settings on the left, protocols and the extra
  // function on the right, so the box fits the page's height at 14 pt.
  auto* grid = new QGridLayout(paramGroup_);
  grid->setContentsMargins(10, 4, 10, 6);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(6);

  portName_ = label(QCoreApplication::translate("DialogSerialParam", "数据口"), kIdPortName, paramGroup_);
  baud_ = new QComboBox(paramGroup_);
  ui::setControlId(baud_, kIdBaud);
  baud_->setEditable(true);
  baud_->setInsertPolicy(QComboBox::NoInsert);
  baud_->setCompleter(nullptr);  // the text stays exactly as typed
  baud_->lineEdit()->setMaxLength(10);
  dataBits_ = new QComboBox(paramGroup_);
  ui::setControlId(dataBits_, kIdDataBits);
  stopBits_ = new QComboBox(paramGroup_);
  ui::setControlId(stopBits_, kIdStopBits);
  parity_ = new QComboBox(paramGroup_);
  ui::setControlId(parity_, kIdParity);
  for (QComboBox* box : {baud_, dataBits_, stopBits_, parity_}) box->setMinimumContentsLength(7);

  grid->addWidget(label(QCoreApplication::translate("DialogSerialParam", "数据口"), kIdPortLabel, paramGroup_), 0, 0);
  grid->addWidget(portName_, 0, 1);
  grid->addWidget(label(QCoreApplication::translate("DialogSerialParam", "波特率"), kIdBaudLabel, paramGroup_), 1, 0);
  grid->addWidget(baud_, 1, 1);
  grid->addWidget(label(QCoreApplication::translate("DialogSerialParam", "数据位"), kIdDataBitsLabel, paramGroup_), 2,
                  0);
  grid->addWidget(dataBits_, 2, 1);
  grid->addWidget(label(QCoreApplication::translate("DialogSerialParam", "停止位"), kIdStopBitsLabel, paramGroup_), 3,
                  0);
  grid->addWidget(stopBits_, 3, 1);
  grid->addWidget(label(QCoreApplication::translate("DialogSerialParam", "校验位"), kIdParityLabel, paramGroup_), 4, 0);
  grid->addWidget(parity_, 4, 1);

  auto* choices = new QVBoxLayout;
  choices->setSpacing(1);
  choices->addWidget(label(QCoreApplication::translate("DialogSerialParam", "协议"), kIdProtocolLabel, paramGroup_));
  const QString protocolTexts[4] = {QCoreApplication::translate("DialogSerialParam", "55协议"),
                                    QCoreApplication::translate("DialogSerialParam", "Modbus RTU协议"),
                                    QCoreApplication::translate("DialogSerialParam", "程序下载"),
                                    QCoreApplication::translate("DialogSerialParam", "临时数据包")};
  for (int bit = 0; bit < 4; ++bit) {
    protocolBits_[bit] = new QCheckBox(protocolTexts[bit], paramGroup_);
    ui::setControlId(protocolBits_[bit], kIdProtocol55 + bit);
    choices->addWidget(protocolBits_[bit]);
  }
  choices->addWidget(label(QCoreApplication::translate("DialogSerialParam", "附加"), kIdExtraLabel, paramGroup_));
  noExtra_ = new QRadioButton(QCoreApplication::translate("DialogSerialParam", "无附加功能"), paramGroup_);
  ui::setControlId(noExtra_, kIdNoExtra);
  remoteControl_ = new QRadioButton(QCoreApplication::translate("DialogSerialParam", "远程控制"), paramGroup_);
  ui::setControlId(remoteControl_, kIdRemoteControl);
  modbusTcp_ = new QRadioButton(QCoreApplication::translate("DialogSerialParam", "Modbus TCP协议"), paramGroup_);
  ui::setControlId(modbusTcp_, kIdModbusTcp);
  linkRadioButtons({noExtra_, remoteControl_, modbusTcp_});
  choices->addWidget(noExtra_);
  choices->addWidget(remoteControl_);
  choices->addWidget(modbusTcp_);
  choices->addStretch(1);
  grid->addLayout(choices, 0, 2, 6, 1);
  grid->setColumnMinimumWidth(2, 0);
  grid->setRowStretch(5, 1);
  paramGroup_->resize(paramGroup_->sizeHint());

  connect(add_, &QPushButton::clicked, this, &DialogSerialParam::addPort);
  connect(remove_, &QPushButton::clicked, this, &DialogSerialParam::removePort);
  connect(list_, &QTableWidget::cellClicked, this, [this](int row, int) { rowChosen(row); });
  connect(list_, &QTableWidget::currentCellChanged, this, [this](int row, int, int previousRow, int) {
    // Arrow keys move the selection as well; only a real move by the user counts.
    if (!listUpdating_ && row != previousRow && row >= 0) rowChosen(row);
  });
  connect(baud_, &QComboBox::activated, this, [this] { comboChanged(baud_); });
  connect(baud_, &QComboBox::editTextChanged, this, &DialogSerialParam::controlChanged);
  for (QComboBox* box : {dataBits_, stopBits_, parity_})
    connect(box, &QComboBox::currentIndexChanged, this, [this, box] { comboChanged(box); });
  for (QCheckBox* box : protocolBits_) connect(box, &QCheckBox::clicked, this, &DialogSerialParam::controlChanged);
  for (QRadioButton* button : {noExtra_, remoteControl_, modbusTcp_})
    connect(button, &QRadioButton::clicked, this, &DialogSerialParam::controlChanged);
}

SerialPortControls DialogSerialParam::readControls() const {
  SerialPortControls c;
  c.portName = portName_->text().toStdString();
  c.baudText = baud_->currentText().toStdString();
  c.baudSelection = baud_->currentIndex();
  c.dataBitsSelection = dataBits_->currentIndex();
  c.stopSelection = stopBits_->currentIndex();
  c.paritySelection = parity_->currentIndex();
  for (int bit = 0; bit < 4; ++bit) c.protocolBits[static_cast<size_t>(bit)] = protocolBits_[bit]->isChecked();
  c.noExtraFunction = noExtra_->isChecked();
  c.remoteControl = remoteControl_->isChecked();
  c.modbusTcp = modbusTcp_->isChecked();
  return c;
}

void DialogSerialParam::showPort(int position) {
  if (position < 0 || position >= kMaxDataPorts) return;
  const SerialPortControls c = records_.showPort(position);
  suppressEvents = true;
  portName_->setText(QString::fromStdString(c.portName));
  baud_->setCurrentIndex(c.baudSelection < baud_->count() ? c.baudSelection : -1);
  baud_->setEditText(QString::fromStdString(c.baudText));
  dataBits_->setPlaceholderText(QString::fromStdString(c.dataBitsText));
  dataBits_->setCurrentIndex(c.dataBitsSelection);
  stopBits_->setCurrentIndex(c.stopSelection);
  parity_->setCurrentIndex(c.paritySelection);
  for (int bit = 0; bit < 4; ++bit) protocolBits_[bit]->setChecked(c.protocolBits[static_cast<size_t>(bit)]);
  noExtra_->setChecked(c.noExtraFunction);
  remoteControl_->setChecked(c.remoteControl);
  modbusTcp_->setChecked(c.modbusTcp);
  suppressEvents = false;
}

void DialogSerialParam::refreshDataPortList() {
  listUpdating_ = true;
  std::vector<QStringList> rows;
  for (int p = 0; p < records_.count(); ++p) rows.push_back(toQt(dataPortRowTexts(records_.record(p))));
  setRows(list_, rows);
  list_->clearSelection();
  listUpdating_ = false;
}

void DialogSerialParam::refreshDataPortRow(int position) {
  if (position < 0 || position >= kMaxDataPorts) return;
  QStringList texts = toQt(dataPortRowTexts(records_.record(position)));
  texts.removeFirst();
  setRowTexts(list_, position, 1, texts);
}

void DialogSerialParam::controlChanged() {
  if (suppressEvents) return;
  if (records_.controlsChanged(readControls())) refreshDataPortRow(records_.selected());
}

void DialogSerialParam::comboChanged(QComboBox* source) {
  if (suppressEvents || !records_.hasSelection()) return;
  // A rate picked from the baud list replaces the typed text. Changes of the
  // other boxes leave a typed rate alone.
  if (source == baud_ && baud_->currentIndex() >= 0) {
    suppressEvents = true;
    baud_->setEditText(baud_->itemText(baud_->currentIndex()));
    suppressEvents = false;
  }
  controlChanged();
}

void DialogSerialParam::addPort() {
  if (!records_.addPort()) {
    ui::messageBox(this, QString::fromStdString(tooManyDataPortsMessage()));
    return;
  }
  refreshDataPortList();
  showPort(records_.selected());
  listUpdating_ = true;
  markRowSelected(list_, records_.selected());
  listUpdating_ = false;
}

void DialogSerialParam::removePort() {
  if (!records_.removePort()) return;
  refreshDataPortList();
  if (records_.selected() >= 0) {
    showPort(records_.selected());
    listUpdating_ = true;
    markRowSelected(list_, records_.selected());
    listUpdating_ = false;
  }
}

void DialogSerialParam::rowChosen(int row) {
  if (!records_.selectPort(row, readControls())) return;
  showPort(row);
}

void DialogSerialParam::loadFromImage(const uint8_t* data, int32_t length) {
  if (!records_.load(data, length)) return;
  refreshDataPortList();
  if (records_.hasSelection()) {
    showPort(records_.selected());
    listUpdating_ = true;
    markRowSelected(list_, records_.selected());
    listUpdating_ = false;
  }
}

StoreResult DialogSerialParam::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  records_.store(buffer, length, capacity, readControls());
  refreshDataPortRow(records_.selected());
  return StoreResult::stored();
}

void DialogSerialParam::layoutPage() {
  const int w = width();
  const int h = height();
  if (w <= 0 || h <= 0) return;
  const int g = paramGroup_->width();
  paramGroup_->move(w - g - 8, 8);
  listGroup_->setGeometry(8, 8, qMax(0, w - g - 24), qMax(0, h - 16));
  add_->move(16, 36);
  remove_->move(add_->x() + add_->width() + 8, add_->y());
  const int buttonsBottom = add_->y() + add_->height();
  list_->setGeometry(16, buttonsBottom + 8, qMax(0, w - g - 40), qMax(0, h - 24 - buttonsBottom));
  fitLastColumn(list_);
}

QSize DialogSerialParam::minimumSizeHint() const { return listBesideGroupMinimum(paramGroup_, add_, remove_); }

void DialogSerialParam::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutPage();
}

}  // namespace velmora

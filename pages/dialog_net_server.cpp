#include "pages/dialog_net_server.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpressionValidator>
#include <QResizeEvent>
#include <QTableWidget>

#include "pages/report_list_widget.h"
#include "ui/language_qt.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

DialogNetServer::DialogNetServer(QWidget* parent) : QWidget(parent) {
  setFont(ui::pageFont());
  buildControls();

  // Opening the page: empty list, nothing selected, parameters disabled.
  refreshServerList();
  programDownload_->hide();
  updateControlState();
  layoutPage();
}

void DialogNetServer::buildControls() {
  listGroup_ = new QGroupBox(QCoreApplication::translate("DialogNetServer", "服务器端口列表"), this);
  ui::setControlId(listGroup_, kIdListGroup);
  paramGroup_ = new QGroupBox(QCoreApplication::translate("DialogNetServer", "服务器端口参数"), this);
  ui::setControlId(paramGroup_, kIdParamGroup);

  add_ = new QPushButton(QCoreApplication::translate("DialogNetServer", "添加"), this);
  ui::setControlId(add_, kIdAdd);
  delete_ = new QPushButton(QCoreApplication::translate("DialogNetServer", "删除"), this);
  ui::setControlId(delete_, kIdDelete);
  noAutoDefault({add_, delete_});
  add_->resize(add_->sizeHint());
  delete_->resize(delete_->sizeHint());

  list_ = makeReportList(this, kIdList,
                         {{QCoreApplication::translate("DialogNetServer", "端口号"), 100},
                          {QCoreApplication::translate("DialogNetServer", "协议支持"), 220}});

  auto* grid = new QGridLayout(paramGroup_);
  grid->setContentsMargins(10, 6, 10, 8);
  grid->setHorizontalSpacing(8);
  grid->setVerticalSpacing(4);
  auto* portLabel = new QLabel(QCoreApplication::translate("DialogNetServer", "端口号"), paramGroup_);
  ui::setControlId(portLabel, kIdPortLabel);
  port_ = new QLineEdit(paramGroup_);
  ui::setControlId(port_, kIdPort);
  port_->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[0-9]*")), port_));
  port_->setMaxLength(10);
  port_->setMinimumWidth(port_->fontMetrics().horizontalAdvance(QStringLiteral("6553500")) + 16);
  grid->addWidget(portLabel, 0, 0);
  grid->addWidget(port_, 0, 1);

  const auto radio = [this](const QString& text, int id) {
    auto* b = new QRadioButton(text, paramGroup_);
    ui::setControlId(b, id);
    return b;
  };
  noProtocol_ = radio(QCoreApplication::translate("DialogNetServer", "无协议"), kIdNoProtocol);
  protocol55_ = radio(QCoreApplication::translate("DialogNetServer", "55协议"), kIdProtocol55);
  modbusRtu_ = radio(QCoreApplication::translate("DialogNetServer", "Modbus RTU协议"), kIdModbusRtu);
  modbusTcp_ = radio(QCoreApplication::translate("DialogNetServer", "Modbus TCP协议"), kIdModbusTcp);
  linkRadioButtons({noProtocol_, protocol55_, modbusRtu_, modbusTcp_});
  programDownload_ = new QCheckBox(QCoreApplication::translate("DialogNetServer", "程序下载"), paramGroup_);
  ui::setControlId(programDownload_, kIdProgramDownload);
  temporaryPackets_ = new QCheckBox(QCoreApplication::translate("DialogNetServer", "临时数据包"), paramGroup_);
  ui::setControlId(temporaryPackets_, kIdTemporaryPackets);
  int row = 1;
  for (QWidget* w : std::initializer_list<QWidget*>{noProtocol_, protocol55_, modbusRtu_, modbusTcp_,
                                                    programDownload_, temporaryPackets_})
    grid->addWidget(w, row++, 0, 1, 2);
  grid->setRowStretch(row, 1);
  paramGroup_->resize(paramGroup_->sizeHint());

  connect(add_, &QPushButton::clicked, this, &DialogNetServer::addEntry);
  connect(delete_, &QPushButton::clicked, this, &DialogNetServer::deleteEntry);
  connect(list_, &QTableWidget::cellClicked, this, [this](int r, int) { rowChosen(r); });
  connect(list_, &QTableWidget::currentCellChanged, this, [this](int r, int, int previousRow, int) {
    if (!listUpdating_ && r != previousRow && r >= 0) rowChosen(r);
  });
  connect(port_, &QLineEdit::textChanged, this, &DialogNetServer::controlChanged);
  for (QAbstractButton* b : std::initializer_list<QAbstractButton*>{noProtocol_, protocol55_, modbusRtu_, modbusTcp_,
                                                                     programDownload_, temporaryPackets_})
    connect(b, &QAbstractButton::clicked, this, &DialogNetServer::controlChanged);
}

ServerPortControls DialogNetServer::readControls() const {
  ServerPortControls c;
  c.portText = port_->text().toStdString();
  c.noProtocol = noProtocol_->isChecked();
  c.protocol55 = protocol55_->isChecked();
  c.modbusRtu = modbusRtu_->isChecked();
  c.modbusTcp = modbusTcp_->isChecked();
  c.programDownload = programDownload_->isChecked();
  c.temporaryPackets = temporaryPackets_->isChecked();
  return c;
}

void DialogNetServer::applyControls(const ServerPortControls& c) {
  port_->setText(QString::fromStdString(c.portText));
  noProtocol_->setChecked(c.noProtocol);
  protocol55_->setChecked(c.protocol55);
  modbusRtu_->setChecked(c.modbusRtu);
  modbusTcp_->setChecked(c.modbusTcp);
  programDownload_->setChecked(c.programDownload);
  temporaryPackets_->setChecked(c.temporaryPackets);
}

void DialogNetServer::showServerPort(int position) {
  if (position < 0 || position >= records_.count()) return;
  suppressEvents = true;
  applyControls(records_.showServerPort(position));
  suppressEvents = false;
}

void DialogNetServer::refreshServerList() {
  listUpdating_ = true;
  std::vector<QStringList> rows;
  for (int p = 0; p < records_.count(); ++p) {
    const auto texts = serverPortRowTexts(records_.record(p));
    rows.push_back({QString::fromStdString(texts[0]), QString::fromStdString(texts[1])});
  }
  setRows(list_, rows);
  list_->clearSelection();
  if (records_.hasSelection()) markRowSelected(list_, records_.selected());
  listUpdating_ = false;
}

void DialogNetServer::refreshServerRow(int position) {
  if (position < 0 || position >= records_.count()) return;
  const auto texts = serverPortRowTexts(records_.record(position));
  setRowTexts(list_, position, 0, {QString::fromStdString(texts[0]), QString::fromStdString(texts[1])});
}

void DialogNetServer::updateControlState() {
  const bool selected = records_.hasSelection();
  for (QWidget* w : std::initializer_list<QWidget*>{port_, noProtocol_, protocol55_, modbusRtu_, modbusTcp_,
                                                    programDownload_, temporaryPackets_, delete_})
    w->setEnabled(selected);
  // Nothing selected: the edits below go nowhere, so the controls are cleared.
  if (!selected) applyControls(ServerPortRecords::clearedControls());
}

void DialogNetServer::controlChanged() {
  if (suppressEvents) return;
  if (records_.controlsChanged(readControls())) refreshServerRow(records_.selected());
}

void DialogNetServer::addEntry() {
  if (!records_.addEntry()) {
    ui::messageBox(this, QString::fromStdString(tooManyServerPortsMessage()));
    return;
  }
  refreshServerList();
  showServerPort(records_.selected());
  updateControlState();
}

void DialogNetServer::deleteEntry() {
  if (!records_.deleteSelected()) {
    ui::messageBox(this, ui::trQ("ServerPortRecords", kSelectEntryFirst));
    return;
  }
  refreshServerList();
  if (records_.hasSelection()) showServerPort(records_.selected());
  updateControlState();
}

void DialogNetServer::rowChosen(int row) {
  if (!records_.selectEntry(row)) return;
  showServerPort(row);
  updateControlState();
}

void DialogNetServer::loadFromImage(const uint8_t* data, int32_t length) {
  records_.load(data, length);
  refreshServerList();
  if (records_.hasSelection()) showServerPort(records_.selected());
  updateControlState();
}

StoreResult DialogNetServer::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  records_.store(buffer, length, capacity);
  return StoreResult::stored();
}

void DialogNetServer::layoutPage() {
  const int w = width();
  const int h = height();
  if (w <= 0 || h <= 0) return;
  const int g = paramGroup_->width();
  listGroup_->setGeometry(8, 8, qMax(0, w - g - 24), qMax(0, h - 16));
  paramGroup_->move(w - g - 8, 8);
  add_->move(16, 36);
  delete_->move(add_->x() + add_->width() + 8, add_->y());
  const int buttonsBottom = add_->y() + add_->height();
  list_->setGeometry(16, buttonsBottom + 8, qMax(0, w - g - 40), qMax(0, h - 24 - buttonsBottom));
  fitLastColumn(list_);
}

QSize DialogNetServer::minimumSizeHint() const { return listBesideGroupMinimum(paramGroup_, add_, delete_); }

void DialogNetServer::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  layoutPage();
}

}  // namespace velmora

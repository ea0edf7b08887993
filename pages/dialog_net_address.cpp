#include "pages/dialog_net_address.h"

#include <QCoreApplication>
#include <QGridLayout>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "pages/report_list_widget.h"
#include "ui/language_qt.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

DialogNetAddress::DialogNetAddress(QWidget* parent) : QWidget(parent) {
  setFont(ui::pageFont());
  auto* group = new QGroupBox(QCoreApplication::translate("DialogNetAddress", "网络参数配置"), this);
  ui::setControlId(group, kIdGroup);
  auto* grid = new QGridLayout(group);
  grid->setContentsMargins(14, 10, 14, 12);
  grid->setHorizontalSpacing(12);
  grid->setVerticalSpacing(10);

  const auto addRow = [&](int row, const QString& caption, int labelId, int editId) {
    auto* label = new QLabel(caption, group);
    ui::setControlId(label, labelId);
    auto* edit = new QLineEdit(group);
    ui::setControlId(edit, editId);
    edit->setMaxLength(40);
    edit->setMinimumWidth(edit->fontMetrics().horizontalAdvance(QStringLiteral("255.255.255.255")) + 24);
    grid->addWidget(label, row, 0);
    grid->addWidget(edit, row, 1);
    return edit;
  };
  ip_ = addRow(0, QCoreApplication::translate("DialogNetAddress", "网络地址"), kIdIpLabel, kIdIp);
  mask_ = addRow(1, QCoreApplication::translate("DialogNetAddress", "子网掩码"), kIdMaskLabel, kIdMask);
  gateway_ = addRow(2, QCoreApplication::translate("DialogNetAddress", "网关地址"), kIdGatewayLabel, kIdGateway);

  confirm_ = new QPushButton(QCoreApplication::translate("DialogNetAddress", "修改确认"), group);
  ui::setControlId(confirm_, kIdConfirm);
  noAutoDefault({confirm_});
  status_ = new QLabel(ui::trQ("NetworkAddressRecords", kAddressStatusReady), group);
  ui::setControlId(status_, kIdStatus);
  auto* actions = new QHBoxLayout;
  actions->addWidget(confirm_);
  actions->addSpacing(12);
  actions->addWidget(status_, 1);
  grid->addLayout(actions, 3, 0, 1, 2);

  auto* page = new QVBoxLayout(this);
  page->setContentsMargins(8, 8, 8, 8);
  page->addWidget(group, 0, Qt::AlignLeft | Qt::AlignTop);
  page->addStretch(1);

  connect(confirm_, &QPushButton::clicked, this, &DialogNetAddress::confirm);
  showAddress();
}

AddressTexts DialogNetAddress::readEdits() const {
  return {ip_->text().toStdString(), mask_->text().toStdString(), gateway_->text().toStdString()};
}

void DialogNetAddress::showAddress() {
  const AddressTexts t = records_.showAddress();
  ip_->setText(QString::fromStdString(t.ip));
  mask_->setText(QString::fromStdString(t.mask));
  gateway_->setText(QString::fromStdString(t.gateway));
}

void DialogNetAddress::confirm() {
  records_.captureAddress(readEdits());
  showAddress();  // a rejected entry shows the kept value again
  status_->setText(ui::trQ("NetworkAddressRecords", kAddressStatusConfirmed));
}

void DialogNetAddress::loadFromImage(const uint8_t* data, int32_t length) {
  if (records_.load(data, length)) showAddress();
}

StoreResult DialogNetAddress::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  records_.store(buffer, length, capacity, readEdits());
  return StoreResult::stored();
}

}  // namespace velmora

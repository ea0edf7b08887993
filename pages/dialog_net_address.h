// The network address page: IP address, subnet mask and gateway of
// network port 0.
#pragma once

#include <QWidget>

#include "config/dialog_child_base.h"
#include "pages/page_tables.h"
#include "pages/network_address_records.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class DialogNetAddress : public QWidget, public DialogChildBase {
  Q_OBJECT

 public:
  enum ControlId {
    kIdGroup = page_id::kAddressGroup,
    kIdIpLabel = page_id::kAddressIpLabel,
    kIdIp = page_id::kAddressIp,
    kIdMaskLabel = page_id::kAddressMaskLabel,
    kIdMask = page_id::kAddressMask,
    kIdGatewayLabel = page_id::kAddressGatewayLabel,
    kIdGateway = page_id::kAddressGateway,
    kIdConfirm = page_id::kAddressConfirm,
    kIdStatus = page_id::kAddressStatus,
  };

  // The caption of the page's tab.
  static constexpr const char* kTabCaption = "网络参数";

  explicit DialogNetAddress(QWidget* parent = nullptr);

  void loadFromImage(const uint8_t* data, int32_t length) override;
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override;

  const NetworkAddressRecords& records() const { return records_; }

 private:
  AddressTexts readEdits() const;
  void showAddress();
  void confirm();

  NetworkAddressRecords records_;
  QLineEdit* ip_ = nullptr;
  QLineEdit* mask_ = nullptr;
  QLineEdit* gateway_ = nullptr;
  QPushButton* confirm_ = nullptr;
  QLabel* status_ = nullptr;
};

}  // namespace velmora

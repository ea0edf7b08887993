// The serial data-port page: the data ports on the left, the selected
// port's parameters on the right; every control change goes straight into
// the selected port's record.
#pragma once

#include <QWidget>

#include "config/dialog_child_base.h"
#include "pages/page_tables.h"
#include "pages/serial_port_records.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace velmora {

class DialogSerialParam : public QWidget, public DialogChildBase {
  Q_OBJECT

 public:
  enum ControlId {
    kIdListGroup = page_id::kSerialListGroup,
    kIdList = page_id::kSerialList,
    kIdParamGroup = page_id::kSerialParamGroup,
    kIdAdd = page_id::kSerialAdd,
    kIdRemove = page_id::kSerialRemove,
    kIdPortLabel = page_id::kSerialPortLabel,
    kIdPortName = page_id::kSerialPortName,
    kIdBaudLabel = page_id::kSerialBaudLabel,
    kIdBaud = page_id::kSerialBaud,
    kIdDataBitsLabel = page_id::kSerialDataBitsLabel,
    kIdDataBits = page_id::kSerialDataBits,
    kIdStopBitsLabel = page_id::kSerialStopBitsLabel,
    kIdStopBits = page_id::kSerialStopBits,
    kIdParityLabel = page_id::kSerialParityLabel,
    kIdParity = page_id::kSerialParity,
    kIdProtocolLabel = page_id::kSerialProtocolLabel,
    kIdProtocol55 = page_id::kSerialProtocol55,
    kIdModbusRtu = page_id::kSerialModbusRtuCheck,
    kIdProgramDownload = page_id::kSerialDownloadCheck,
    kIdTemporaryPackets = page_id::kSerialTemporaryCheck,
    kIdExtraLabel = page_id::kSerialExtraLabel,
    kIdNoExtra = page_id::kSerialNoExtra,
    kIdRemoteControl = page_id::kSerialRemoteControl,
    kIdModbusTcp = page_id::kSerialModbusTcp,
  };

  // The caption of the page's tab.
  static constexpr const char* kTabCaption = "串口参数";

  explicit DialogSerialParam(QWidget* parent = nullptr);

  void loadFromImage(const uint8_t* data, int32_t length) override;
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override;

  const SerialPortRecords& records() const { return records_; }

  // The parameter group whole beside a usable list (the page is laid out by hand).
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildControls();
  void layoutPage();

  SerialPortControls readControls() const;
  void showPort(int position);
  void refreshDataPortList();
  void refreshDataPortRow(int position);

  void addPort();
  void removePort();
  void rowChosen(int row);
  void controlChanged();
  void comboChanged(QComboBox* source);

  SerialPortRecords records_;
  bool suppressEvents = false;
  bool listUpdating_ = false;

  QGroupBox* listGroup_ = nullptr;
  QGroupBox* paramGroup_ = nullptr;
  QTableWidget* list_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* remove_ = nullptr;
  QLabel* portName_ = nullptr;
  QComboBox* baud_ = nullptr;
  QComboBox* dataBits_ = nullptr;
  QComboBox* stopBits_ = nullptr;
  QComboBox* parity_ = nullptr;
  QCheckBox* protocolBits_[4] = {};
  QRadioButton* noExtra_ = nullptr;
  QRadioButton* remoteControl_ = nullptr;
  QRadioButton* modbusTcp_ = nullptr;
};

}  // namespace velmora

// The serial data-port page: the data ports on the left, the selected
// port's parameters on the right; every control change goes straight into
// the selected port's record.
#pragma once

#include <QWidget>

#include "config/dialog_child_base.h"
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
    kIdListGroup = 4001,
    kIdList = 4002,
    kIdParamGroup = 4003,
    kIdAdd = 4004,
    kIdRemove = 4005,
    kIdPortLabel = 4006,
    kIdPortName = 4007,
    kIdBaudLabel = 4008,
    kIdBaud = 4009,
    kIdDataBitsLabel = 4010,
    kIdDataBits = 4011,
    kIdStopBitsLabel = 4012,
    kIdStopBits = 4013,
    kIdParityLabel = 4014,
    kIdParity = 4015,
    kIdProtocolLabel = 4016,
    kIdProtocol55 = 4017,
    kIdModbusRtu = 4018,
    kIdProgramDownload = 4019,
    kIdTemporaryPackets = 4020,
    kIdExtraLabel = 4021,
    kIdNoExtra = 4022,
    kIdRemoteControl = 4023,
    kIdModbusTcp = 4024,
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

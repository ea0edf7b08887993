// The network server-port page: a list of up to 32 server ports with their
// protocol sets; every edit goes straight into the selected entry.
#pragma once

#include <QWidget>

#include "config/dialog_child_base.h"
#include "pages/server_port_records.h"

class QCheckBox;
class QGroupBox;
class QLineEdit;
class QPushButton;
class QRadioButton;
class QTableWidget;

namespace velmora {

class DialogNetServer : public QWidget, public DialogChildBase {
  Q_OBJECT

 public:
  enum ControlId {
    kIdListGroup = 6001,
    kIdList = 6002,
    kIdAdd = 6003,
    kIdDelete = 6004,
    kIdParamGroup = 6010,
    kIdPortLabel = 6011,
    kIdPort = 6012,
    kIdNoProtocol = 6013,
    kIdProtocol55 = 6014,
    kIdModbusRtu = 6015,
    kIdModbusTcp = 6016,
    kIdProgramDownload = 6017,
    kIdTemporaryPackets = 6018,
  };

  // The caption of the page's tab.
  static constexpr const char* kTabCaption = "网络服务器端口";

  explicit DialogNetServer(QWidget* parent = nullptr);

  void loadFromImage(const uint8_t* data, int32_t length) override;
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override;

  const ServerPortRecords& records() const { return records_; }

  // The two list commands, as the buttons run them.
  void addEntry();
  void deleteEntry();

  // The parameter group whole beside a usable list (the page is laid out by hand).
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void buildControls();
  void layoutPage();

  ServerPortControls readControls() const;
  void applyControls(const ServerPortControls& controls);
  void showServerPort(int position);
  void refreshServerList();
  void refreshServerRow(int position);
  void updateControlState();
  void rowChosen(int row);
  void controlChanged();

  ServerPortRecords records_;
  bool suppressEvents = false;
  bool listUpdating_ = false;

  QGroupBox* listGroup_ = nullptr;
  QGroupBox* paramGroup_ = nullptr;
  QTableWidget* list_ = nullptr;
  QPushButton* add_ = nullptr;
  QPushButton* delete_ = nullptr;
  QLineEdit* port_ = nullptr;
  QRadioButton* noProtocol_ = nullptr;
  QRadioButton* protocol55_ = nullptr;
  QRadioButton* modbusRtu_ = nullptr;
  QRadioButton* modbusTcp_ = nullptr;
  QCheckBox* programDownload_ = nullptr;
  QCheckBox* temporaryPackets_ = nullptr;
};

}  // namespace velmora

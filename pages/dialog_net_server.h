// The network server-port page: a list of up to 32 server ports with their
// protocol sets; every edit goes straight into the selected entry.
#pragma once

#include <QWidget>

#include "config/dialog_child_base.h"
#include "pages/page_tables.h"
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
    kIdListGroup = page_id::kServerListGroup,
    kIdList = page_id::kServerList,
    kIdAdd = page_id::kServerAdd,
    kIdDelete = page_id::kServerDelete,
    kIdParamGroup = page_id::kServerParamGroup,
    kIdPortLabel = page_id::kServerPortLabel,
    kIdPort = page_id::kServerPort,
    kIdNoProtocol = page_id::kServerNoProtocol,
    kIdProtocol55 = page_id::kServerProtocol55,
    kIdModbusRtu = page_id::kServerModbusRtuRadio,
    kIdModbusTcp = page_id::kServerModbusTcpRadio,
    kIdProgramDownload = page_id::kServerDownload,
    kIdTemporaryPackets = page_id::kServerTemporary,
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

// The holding-register page: four register groups and the all-enable
// switch. Edits reach the records only through "修改确认"; until then the
// button is highlighted with a note beside it, and edits left behind by a
// page change or a load are logged once.
#pragma once

#include <QWidget>

#include "base/log_sink.h"
#include "config/dialog_child_base.h"
#include "pages/holding_register_records.h"
#include "pages/page_tables.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace velmora {

class RegisterMapWidget;
class ToolTipWidget;

class DialogMaintainRegister : public QWidget, public DialogChildBase {
  Q_OBJECT

 public:
  enum ControlId {
    kIdFunctionEnable = page_id::kRegisterFunction,
    // Each group row holds enable, address, count and width, four ids apart.
    kIdFirstRow = page_id::kRegisterFirstRow,
    kIdConfirm = page_id::kRegisterConfirm,
  };
  static constexpr int rowControlId(int row, int field) { return registerRowControlId(row, field); }

  // The caption of the page's tab.
  static constexpr const char* kTabCaption = "保持寄存器配置";

  // Log lines go to log (none when null).
  explicit DialogMaintainRegister(QWidget* parent = nullptr, LogSink* log = nullptr);

  void loadFromImage(const uint8_t* data, int32_t length) override;
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override;

  const HoldingRegisterRecords& records() const { return records_; }
  ToolTipWidget* toolTips() const { return toolTips_; }
  // The controls hold edits that "修改确认" has not taken.
  bool hasPendingEdits() const { return pending_.pending(); }
  QLabel* pendingNote() const { return pendingNote_; }
  // The groups' ranges as the controls show them now, confirmed or not.
  RegisterMapWidget* registerMap() const { return map_; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  struct RowControls {
    QCheckBox* enable = nullptr;
    QLineEdit* address = nullptr;
    QLineEdit* count = nullptr;
    QComboBox* width = nullptr;
  };

  void buildControls();
  void buildToolTips();
  void showRegisters();
  void captureRegisters();
  HoldingRegisterControls readControls() const;
  void updatePending();
  void logDroppedEdits();

  HoldingRegisterRecords records_;
  bool suppressEvents = false;
  QCheckBox* functionEnable_ = nullptr;
  RowControls rows_[kRegisterRows];
  QPushButton* confirm_ = nullptr;
  QLabel* pendingNote_ = nullptr;
  RegisterMapWidget* map_ = nullptr;
  ToolTipWidget* toolTips_ = nullptr;
  LogSink* log_ = nullptr;
  PendingRegisterEdits pending_;
};

}  // namespace velmora

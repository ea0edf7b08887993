// The "通信监视" page: every frame on the link, decoded, newest last. The
// page hears the send path and the receive assembly as a FrameObserver;
// rows reach the table a few milliseconds later in one batch, so a running
// transfer never waits for the table to paint.
#pragma once

#include <QTimer>
#include <QWidget>

#include <string>

#include "diag/monitor_log.h"
#include "diag/save_offer.h"
#include "protocol/frame_trace.h"

class QPushButton;
class QTableView;

namespace velmora {

class MonitorModel;

// Asks for a file with the save dialog and writes the offer into it (whole
// or not at all); a failure is shown in a message box. The path written, or
// empty when the user cancelled or the write failed.
QString saveOfferWithDialog(QWidget* parent, const SaveOffer& offer);

class DialogMonitor : public QWidget, public FrameObserver {
  Q_OBJECT
 public:
  static constexpr int kTableId = 1051;
  static constexpr int kPauseButtonId = 1052;
  static constexpr int kClearButtonId = 1053;
  static constexpr int kSaveButtonId = 1054;
  static constexpr int kSaveCaptureButtonId = 1055;

  explicit DialogMonitor(QWidget* parent = nullptr);
  ~DialogMonitor() override;

  void onFrame(FrameDirection direction, uint64_t timeUs, const uint8_t* bytes, int32_t length,
               const FrameInfo& info) override;

  const MonitorLog& log() const { return log_; }
  // Shows what arrived since the last batch (the timer's work, for tests).
  void flush();
  bool paused() const { return paused_; }

  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void togglePause();
  void clearRows();
  void save();
  void saveCapture();

  MonitorLog log_;
  MonitorModel* model_ = nullptr;
  QTableView* table_ = nullptr;
  QPushButton* pause_ = nullptr;
  QPushButton* clear_ = nullptr;
  QPushButton* save_ = nullptr;
  QPushButton* saveCapture_ = nullptr;
  QTimer batch_;
  bool paused_ = false;
};

}  // namespace velmora

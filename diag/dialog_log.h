// The "日志" page: the program-wide log every part writes to.
#pragma once

#include <QTimer>
#include <QWidget>

#include <string>

#include "diag/log_text.h"

class QLabel;
class QPlainTextEdit;
class QPushButton;

namespace velmora {

class DialogLog : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kEditId = 1031;
  static constexpr int kSaveButtonId = 1032;

  explicit DialogLog(QWidget* parent = nullptr);

  // Appends one line stamped with the local time.
  void appendLog(const std::string& text);
  // The log exactly as kept: stamped lines ending in "\r\n".
  const std::string& text() const { return log_.text(); }

  // While a transfer runs, the text is kept at once but shown at the next
  // pause between frames (release()), or a few milliseconds later: showing
  // a line takes the window a tenth of a millisecond, and after a frame has
  // gone out that time would delay the device's answer and every exchange.
  void holdView();
  // Shows what was held.
  void release();

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  // Longer than a device takes to answer, too short for a person to notice.
  static constexpr int kHoldMs = 5;
  void followNewest();

  QLabel* heading_ = nullptr;
  QPlainTextEdit* edit_ = nullptr;
  QPushButton* save_ = nullptr;
  LogText log_;
  QString held_;          // lines not yet in the view
  bool heldTrim_ = false;  // the text was cut back while held
  QTimer releaseTimer_;
};

}  // namespace velmora

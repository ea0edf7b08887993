// The "日志" page: the program-wide log every part writes to.
#pragma once

#include <QWidget>

#include <string>

#include "diag/log_text.h"

class QLabel;
class QPlainTextEdit;

namespace velmora {

class DialogLog : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kEditId = 1031;

  explicit DialogLog(QWidget* parent = nullptr);

  // Appends one line stamped with the local time.
  void appendLog(const std::string& text);
  // The log exactly as kept: stamped lines ending in "\r\n".
  const std::string& text() const { return log_.text(); }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* heading_ = nullptr;
  QPlainTextEdit* edit_ = nullptr;
  LogText log_;
};

}  // namespace velmora

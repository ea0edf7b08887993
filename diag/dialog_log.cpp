#include "diag/dialog_log.h"

#include <QLabel>
#include <QPlainTextEdit>
#include <QScrollBar>

#include "base/clock.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

DialogLog::DialogLog(QWidget* parent) : QWidget(parent) {
  setFont(ui::pageFont());
  heading_ = new QLabel(QStringLiteral("日志消息输出"), this);
  heading_->move(10, 28);
  heading_->adjustSize();
  edit_ = new QPlainTextEdit(this);
  ui::setControlId(edit_, kEditId);
  edit_->setReadOnly(true);
  edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit_->setGeometry(rect());
}

void DialogLog::appendLog(const std::string& text) {
  const std::string line = formatLogLine(localTimeNow(), text);
  const bool trimmed = log_.appendLine(line);
  if (trimmed) {
    edit_->setPlainText(ui::plainTextOf(log_.text()));
  } else {
    QTextCursor cursor = edit_->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(ui::plainTextOf(line));
    edit_->setTextCursor(cursor);
  }
  // The view follows the newest line.
  edit_->moveCursor(QTextCursor::End);
  edit_->ensureCursorVisible();
}

void DialogLog::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  edit_->setGeometry(10, 60, width() - 20, height() - 70);
}


}  // namespace velmora

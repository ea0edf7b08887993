#include "diag/dialog_log.h"

#include <QCoreApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>

#include <algorithm>

#include "base/clock.h"
#include "diag/dialog_monitor.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

DialogLog::DialogLog(QWidget* parent) : QWidget(parent) {
  setFont(ui::pageFont());
  heading_ = new QLabel(QCoreApplication::translate("DialogLog", "日志消息输出"), this);
  heading_->move(10, 28);
  heading_->adjustSize();
  edit_ = new QPlainTextEdit(this);
  ui::setControlId(edit_, kEditId);
  edit_->setReadOnly(true);
  edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit_->setGeometry(rect());
  save_ = new QPushButton(QCoreApplication::translate("DialogLog", "保存..."), this);
  ui::setControlId(save_, kSaveButtonId);
  connect(save_, &QPushButton::clicked, this, [this] {
    release();
    saveOfferWithDialog(this, logSaveOffer(log_.text()));
  });
  releaseTimer_.setSingleShot(true);
  releaseTimer_.setInterval(kHoldMs);
  connect(&releaseTimer_, &QTimer::timeout, this, &DialogLog::release);
}

void DialogLog::appendLog(const std::string& text) {
  const std::string line = formatLogLine(localTimeNow(), text);
  const bool trimmed = log_.appendLine(line);
  if (releaseTimer_.isActive()) {
    held_ += ui::plainTextOf(line);
    heldTrim_ = heldTrim_ || trimmed;
    return;
  }
  if (trimmed) {
    edit_->setPlainText(ui::plainTextOf(log_.text()));
  } else {
    QTextCursor cursor = edit_->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(ui::plainTextOf(line));
    edit_->setTextCursor(cursor);
  }
  followNewest();
}

void DialogLog::holdView() {
  if (!releaseTimer_.isActive()) releaseTimer_.start();
}

void DialogLog::release() {
  releaseTimer_.stop();
  if (held_.isEmpty()) return;
  if (heldTrim_) {
    edit_->setPlainText(ui::plainTextOf(log_.text()));
  } else {
    QTextCursor cursor = edit_->textCursor();
    cursor.movePosition(QTextCursor::End);
    cursor.insertText(held_);
    edit_->setTextCursor(cursor);
  }
  held_.clear();
  heldTrim_ = false;
  followNewest();
}

void DialogLog::followNewest() {
  // The view follows the newest line. Scrolling lays the text out, so a
  // hidden page does it once it is shown.
  edit_->moveCursor(QTextCursor::End);
  if (isVisible()) edit_->ensureCursorVisible();
}

void DialogLog::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  edit_->ensureCursorVisible();
}

void DialogLog::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // The save button at the right edge beside the heading; a tall button
  // font pushes the text down rather than out of the page.
  const QSize b = save_->sizeHint().expandedTo(save_->minimumSize());
  save_->setGeometry(width() - 10 - b.width(), 10, b.width(), b.height());
  const int top = std::max(60, 10 + b.height() + 6);
  edit_->setGeometry(10, top, width() - 20, height() - top - 10);
}


}  // namespace velmora

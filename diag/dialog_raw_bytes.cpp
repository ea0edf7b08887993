#include "diag/dialog_raw_bytes.h"

#include <QButtonGroup>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollBar>

#include <cstring>

#include "diag/hex_view.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

DialogDataTest::DialogDataTest(QWidget* parent) : QWidget(parent) {
  setWindowTitle(QCoreApplication::translate("DialogRawBytes", "数据测试"));
  setFont(ui::pageFont());

  hexRadio_ = new QRadioButton(QStringLiteral("HEX"), this);
  asciiRadio_ = new QRadioButton(QStringLiteral("ASCII"), this);
  clearButton_ = new QPushButton(QCoreApplication::translate("DialogRawBytes", "清空"), this);
  ui::setControlId(hexRadio_, kHexRadioId);
  ui::setControlId(asciiRadio_, kAsciiRadioId);
  ui::setControlId(clearButton_, kClearId);
  clearButton_->setAutoDefault(false);
  auto* group = new QButtonGroup(this);
  group->addButton(hexRadio_);
  group->addButton(asciiRadio_);
  hexRadio_->setChecked(true);
  hexRadio_->adjustSize();
  asciiRadio_->adjustSize();
  clearButton_->adjustSize();
  hexRadio_->move(10, 20);
  asciiRadio_->move(hexRadio_->geometry().right() + 24, 20);
  clearButton_->move(asciiRadio_->geometry().right() + 32, 16);

  edit_ = new QPlainTextEdit(this);
  ui::setControlId(edit_, kEditId);
  edit_->setLineWrapMode(QPlainTextEdit::NoWrap);
  edit_->setGeometry(10, 60, 300, 200);

  connect(hexRadio_, &QRadioButton::clicked, this, [this] { hexMode_ = true; });
  connect(asciiRadio_, &QRadioButton::clicked, this, [this] { hexMode_ = false; });
  connect(clearButton_, &QPushButton::clicked, this, [this] {
    edit_->clear();
    showsCharacters_ = false;
  });

  const std::vector<uint8_t> pattern = demonstrationPattern();
  edit_->setPlainText(ui::plainTextOf(formatHexView(pattern.data(), pattern.size())));
  edit_->moveCursor(QTextCursor::Start);
  edit_->ensureCursorVisible();
}

void DialogDataTest::loadFromImage(const uint8_t* data, int32_t length) {
  showsCharacters_ = false;
  if (data == nullptr || length <= 0) {
    edit_->clear();
    return;
  }
  if (hexMode_) {
    edit_->setPlainText(ui::plainTextOf(formatHexView(data, static_cast<size_t>(length))));
    edit_->moveCursor(QTextCursor::Start);
    scrollToCursor();
  } else {
    showsCharacters_ = true;
    edit_->setPlainText(QString::fromLatin1(formatCharView(data, static_cast<size_t>(length)).c_str()));
    // The character view shows the end of the text.
    edit_->moveCursor(QTextCursor::End);
    scrollToCursor();
  }
}

void DialogDataTest::scrollToCursor() {
  if (isVisible()) edit_->ensureCursorVisible();
}

void DialogDataTest::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  edit_->ensureCursorVisible();
}

StoreResult DialogDataTest::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  // Character text cannot be read back ('.' stands for many bytes, and "AB"
  // would read as one hex byte), so it never replaces the image.
  if (showsCharacters_) return StoreResult::keepImage();
  length = 0;
  if (buffer == nullptr || capacity <= 0) return StoreResult::stored();
  const HexTextRead read = readHexText(edit_->toPlainText().toStdString(), static_cast<size_t>(capacity));
  // One wrong digit must not cost the user the whole configuration.
  if (!read.ok()) return StoreResult::keepImage(describeHexTextError(read));
  if (!read.bytes.empty()) std::memcpy(buffer, read.bytes.data(), read.bytes.size());
  length = static_cast<int32_t>(read.bytes.size());
  return StoreResult::stored();
}

void DialogDataTest::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  edit_->setGeometry(10, 60, width() - 20, height() - 70);
}


}  // namespace velmora

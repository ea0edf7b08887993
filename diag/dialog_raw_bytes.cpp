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

  connect(hexRadio_, &QRadioButton::clicked, this, [this] { text_.setHexMode(true); });
  connect(asciiRadio_, &QRadioButton::clicked, this, [this] { text_.setHexMode(false); });
  connect(clearButton_, &QPushButton::clicked, this, [this] {
    edit_->clear();
    text_.cleared();
  });

  show(DataTestText::opening());
  edit_->ensureCursorVisible();
}

void DialogDataTest::show(const DataTestText::Shown& shown) {
  edit_->setPlainText(ui::plainTextOf(shown.text));
  edit_->moveCursor(shown.caretAtEnd ? QTextCursor::End : QTextCursor::Start);
}

void DialogDataTest::loadFromImage(const uint8_t* data, int32_t length) {
  const DataTestText::Shown shown = text_.load(data, length);
  if (shown.text.empty()) {
    edit_->clear();
    return;
  }
  show(shown);
  scrollToCursor();
}

void DialogDataTest::scrollToCursor() {
  if (isVisible()) edit_->ensureCursorVisible();
}

void DialogDataTest::showEvent(QShowEvent* event) {
  QWidget::showEvent(event);
  edit_->ensureCursorVisible();
}

StoreResult DialogDataTest::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  return text_.store(edit_->toPlainText().toStdString(), buffer, length, capacity);
}

void DialogDataTest::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  edit_->setGeometry(10, 60, width() - 20, height() - 70);
}


}  // namespace velmora

// The "数据测试" page: the image's raw bytes as hex or characters, and an
// image typed in hex.
#pragma once

#include <QWidget>

#include "config/dialog_child_base.h"
#include "diag/data_test_text.h"

class QPlainTextEdit;
class QPushButton;
class QRadioButton;

namespace velmora {

class DialogDataTest : public QWidget, public DialogChildBase {
  Q_OBJECT
 public:
  static constexpr int kHexRadioId = 3001;
  static constexpr int kAsciiRadioId = 3002;
  static constexpr int kEditId = 3003;
  static constexpr int kClearId = 3004;

  explicit DialogDataTest(QWidget* parent = nullptr);

  void loadFromImage(const uint8_t* data, int32_t length) override;
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override;

  bool hexMode() const { return text_.hexMode(); }

 protected:
  void resizeEvent(QResizeEvent* event) override;
  void showEvent(QShowEvent* event) override;

 private:
  QRadioButton* hexRadio_ = nullptr;
  QRadioButton* asciiRadio_ = nullptr;
  QPushButton* clearButton_ = nullptr;
  QPlainTextEdit* edit_ = nullptr;
  DataTestText text_;
  void show(const DataTestText::Shown& shown);
  // Scrolling lays the whole text out: a hidden page does it once shown.
  void scrollToCursor();
};

}  // namespace velmora

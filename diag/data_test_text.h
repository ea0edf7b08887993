// The "数据测试" page apart from its window: which view the next image is
// shown in, what the text becomes, and what a store makes of the text.
#pragma once

#include <cstdint>
#include <string>

#include "config/dialog_child_base.h"

namespace velmora {

class DataTestText {
 public:
  // What the edit shows: the text ("\r\n" line ends) and whether the caret
  // goes to its end (the character view) or its start.
  struct Shown {
    std::string text;
    bool caretAtEnd = false;
  };

  // The demonstration pattern in hexadecimal, as the page opens.
  static Shown opening();

  // The radio buttons choose the view of the next load; the text stays.
  void setHexMode(bool hex) { hexMode_ = hex; }
  bool hexMode() const { return hexMode_; }
  // "清空": the text is gone, so what is typed next is read as hex again.
  void cleared() { showsCharacters_ = false; }

  // The image shown in the chosen view; no image gives an empty text.
  Shown load(const uint8_t* data, int32_t length);
  // The bytes typed in text as the new image. Character text cannot be read
  // back ('.' stands for many bytes, and "AB" would read as one hex byte),
  // and one wrong digit must not cost the user the whole configuration:
  // both keep the image.
  StoreResult store(const std::string& text, uint8_t* buffer, int32_t& length, int32_t capacity) const;

 private:
  bool hexMode_ = true;
  // The text on show came from the character view (the radio buttons only
  // choose the view of the next load, so they cannot tell).
  bool showsCharacters_ = false;
};

}  // namespace velmora

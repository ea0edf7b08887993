// The contract of every page that shows or edits the configuration image.
// The tab host and the main window reach a page only through this interface,
// found from the page's window by a dynamic_cast; pages that do not take part
// in the image simply do not derive from it.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

namespace velmora {

// What a page's store did with the image it was given.
struct StoreResult {
  enum class Kind {
    Stored,     // the buffer and length are the new image
    KeepImage,  // the page had nothing sound to give: the image stays as it was
  };
  Kind kind = Kind::Stored;
  // Why the image was kept, for the log; empty when there is nothing to say.
  std::string reason;

  static StoreResult stored() { return {}; }
  static StoreResult keepImage(std::string why = {}) { return {Kind::KeepImage, std::move(why)}; }
  bool keepsImage() const { return kind == Kind::KeepImage; }
};

class DialogChildBase {
 public:
  virtual ~DialogChildBase() = default;

  // data holds length bytes of the whole image, or is null; a null pointer or
  // a length of 0 or less means "no image" and each page applies its own rule.
  // The page copies what it needs: the bytes may go away when this returns.
  virtual void loadFromImage(const uint8_t* data, int32_t length) = 0;

  // On entry buffer holds length bytes (a copy of the image) and has room for
  // capacity bytes. The page rewrites it and sets length to the new count, or
  // answers KeepImage and the caller leaves its image untouched.
  virtual StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) = 0;
};

}  // namespace velmora

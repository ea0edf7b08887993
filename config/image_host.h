// What the main window offers the rest of the program: the configuration
// image. The transfer panel holds a non-owning pointer to it, set once at
// start-up; log lines go to a LogSink of their own.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "config/config_unit.h"

namespace velmora {

class ImageHost {
 public:
  virtual ~ImageHost() = default;

  // Replaces the image and lets every image page load itself from the bytes.
  virtual void loadImage(const uint8_t* data, int32_t length) = 0;
  // Lets the page on show store its units into the image; false when it did not.
  virtual bool gatherCurrentPage() = 0;
  virtual const std::vector<uint8_t>& configImage() const = 0;
};

// An image with no pages behind it: what velmora-cli sends and receives.
class ImageBuffer final : public ImageHost {
 public:
  void loadImage(const uint8_t* data, int32_t length) override {
    bytes_.assign(data, data + (length > 0 ? length : 0));
  }
  bool gatherCurrentPage() override { return true; }
  const std::vector<uint8_t>& configImage() const override { return bytes_; }
  void setImage(std::vector<uint8_t> bytes) { bytes_ = std::move(bytes); }

 private:
  std::vector<uint8_t> bytes_;
};

}  // namespace velmora

// Pages that fulfil the page contract for window tests of the main window:
// each owns one unit kind, stores its units at the end of the image like an
// editor page, and writes every call into a shared journal.
#pragma once

#include <QWidget>

#include <string>
#include <vector>

#include "config/dialog_child_base.h"

namespace velmora::testing {

inline std::vector<std::string>& journal() {
  static std::vector<std::string> j;
  return j;
}

class RecordingPage : public QWidget, public DialogChildBase {
 public:
  RecordingPage(std::string name, uint8_t kind, std::vector<uint8_t> units, QWidget* parent)
      : QWidget(parent), name_(std::move(name)), kind_(kind), units_(std::move(units)) {}

  void loadFromImage(const uint8_t* data, int32_t length) override {
    journal().push_back("load " + name_ + " " + std::to_string(data == nullptr ? -1 : length));
    seen_.assign(data && length > 0 ? data : nullptr, data && length > 0 ? data + length : nullptr);
  }
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override {
    journal().push_back("store " + name_ + " " + std::to_string(length));
    std::vector<uint8_t> kept;
    for (int32_t i = 0; i + 8 <= length; i += 8)
      if (buffer[i] != kind_) kept.insert(kept.end(), buffer + i, buffer + i + 8);
    kept.insert(kept.end(), units_.begin(), units_.end());
    if (static_cast<int32_t>(kept.size()) > capacity) kept.resize(static_cast<size_t>(capacity));
    std::copy(kept.begin(), kept.end(), buffer);
    length = static_cast<int32_t>(kept.size());
    return StoreResult::stored();
  }

  const std::vector<uint8_t>& seen() const { return seen_; }
  void setUnits(std::vector<uint8_t> units) { units_ = std::move(units); }

 private:
  std::string name_;
  uint8_t kind_;
  std::vector<uint8_t> units_;
  std::vector<uint8_t> seen_;
};

}  // namespace velmora::testing

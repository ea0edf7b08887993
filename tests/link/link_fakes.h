// Recording stand-ins for what the connection page talks to: the transfer
// panel, the main window's log, and (for the logic tests) the page's
// controls and channels. Everything lands in one journal so tests can check
// the order of effects across them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/text.h"
#include "config/image_host.h"
#include "protocol/link_interfaces.h"

namespace velmora::testing {

using Journal = std::vector<std::string>;

class FakePanel : public LinkReceiver {
 public:
  explicit FakePanel(Journal& journal) : journal_(journal) {}
  void receiveByte(uint8_t byte) override {
    bytes.push_back(byte);
    journal_.push_back(strprintf("byte %02X", byte));
  }
  void setLinkState(bool connected, const std::string& statusText) override {
    states.emplace_back(connected, statusText);
    journal_.push_back(std::string("link ") + (connected ? "up " : "down ") + statusText);
  }
  std::vector<uint8_t> bytes;
  std::vector<std::pair<bool, std::string>> states;

 private:
  Journal& journal_;
};

class FakeHost : public ImageHost, public LogSink {
 public:
  explicit FakeHost(Journal& journal) : journal_(journal) {}
  void loadImage(const uint8_t*, int32_t) override {}
  bool gatherCurrentPage() override { return false; }
  const std::vector<uint8_t>& configImage() const override { return image_; }
  void logMessage(const std::string& text) override {
    lines.push_back(text);
    journal_.push_back("log " + text);
  }
  std::vector<std::string> lines;

 private:
  Journal& journal_;
  std::vector<uint8_t> image_;
};

}  // namespace velmora::testing

// Recording stand-ins for the transfer panel and the log the connection
// page talks to. Both write one journal, so tests can check the order of
// effects across them.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "base/log_sink.h"
#include "base/text.h"
#include "protocol/link_interfaces.h"

namespace velmora::testing {

using Journal = std::vector<std::string>;
using LinkStates = std::vector<std::pair<bool, std::string>>;

struct FakePanel : LinkReceiver {
  explicit FakePanel(Journal& journal) : journal(journal) {}
  void receiveByte(uint8_t byte) override {
    bytes.push_back(byte);
    journal.push_back(strprintf("byte %02X", byte));
  }
  void setLinkState(bool connected, const std::string& text) override {
    states.emplace_back(connected, text);
    journal.push_back(std::string("link ") + (connected ? "up " : "down ") + text);
  }
  Journal& journal;
  std::vector<uint8_t> bytes;
  LinkStates states;
};

struct FakeLog : LogSink {
  explicit FakeLog(Journal& journal) : journal(journal) {}
  void logMessage(const std::string& text) override {
    lines.push_back(text);
    journal.push_back("log " + text);
  }
  Journal& journal;
  std::vector<std::string> lines;
};

}  // namespace velmora::testing

// The server-port page's records and rules, apart from its window: a list
// of up to 32 ports, rebuilt from every image the page is handed.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "config/config_unit.h"
#include "base/tr_text.h"

namespace velmora {

inline constexpr int kMaxServerPorts = 32;
// The first port of an empty list, and what a stored 0 reads as.
inline constexpr int32_t kFirstServerPort = 3000;

inline constexpr const char* kSelectEntryFirst = VELMORA_TR_NOOP("ServerPortRecords", "请先在列表中选择要删除的条目");
std::string tooManyServerPortsMessage();

struct ServerPortRecord {
  int32_t index = 0;
  int32_t port = 0;
  uint32_t protocolFlags = 0;
  bool operator==(const ServerPortRecord&) const = default;
};

// The list row: the port, then its protocol texts.
std::array<std::string, 2> serverPortRowTexts(const ServerPortRecord& record);

// The parameter controls' values.
struct ServerPortControls {
  std::string portText;
  bool noProtocol = true;
  bool protocol55 = false;
  bool modbusRtu = false;
  bool modbusTcp = false;
  bool programDownload = false;
  bool temporaryPackets = false;
  bool operator==(const ServerPortControls&) const = default;
};

class ServerPortRecords {
 public:
  int count() const { return count_; }
  int selected() const { return selected_; }
  bool hasSelection() const { return selected_ >= 0 && selected_ < count_; }
  const ServerPortRecord& record(int position) const { return records_.at(static_cast<size_t>(position)); }

  // The controls showing the entry at position (0..count-1): every bit
  // independently, so a set with several of bits 0..2 checks several.
  ServerPortControls showServerPort(int position) const;
  // The controls with nothing selected: empty port, "no protocol" checked.
  static ServerPortControls clearedControls();
  // A port text of 1..65535 replaces the port; the set is rebuilt from the
  // controls (bits 0..4, nothing else).
  void captureServerPort(int position, const ServerPortControls& controls);
  // A control changed: the selected entry follows it. False without a selection.
  bool controlsChanged(const ServerPortControls& controls);

  // Appends 3000 to an empty list, else the last port + 1 (at most 65535),
  // and selects it; false when 32 entries are in use.
  bool addEntry();
  // Removes the selected entry and renumbers the rest; the entry after it
  // (or the new last one) becomes selected. False with no selection.
  bool deleteSelected();
  // False for a row outside the entries; the selection is then unchanged.
  bool selectEntry(int row);

  // Rebuilds the list from the image's server-port units in image order (at
  // most 32), whatever the image holds; selects the first entry if any.
  void load(const uint8_t* data, int32_t length);
  // Replaces the image's server-port units by the entries.
  void store(uint8_t* buffer, int32_t& length, int32_t capacity) const;

 private:
  void clear();

  std::array<ServerPortRecord, kMaxServerPorts> records_{};
  int count_ = 0;
  int selected_ = -1;
};

}  // namespace velmora

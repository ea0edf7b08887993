// A provisioning plan: one template image and a CSV table with one row per
// device, each row naming how to reach the device and what differs in its
// configuration. Everything is checked here, before any device is touched,
// so a bad cell stops the whole plan with its row and column. The format is
// described in docs/provisioning.md.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "config/config_unit.h"

namespace velmora {

// How to reach one device. The serial codes are those of velmora-cli's
// serial options, so a row's line goes to the channel unchanged.
struct PlanTarget {
  enum class Kind { Tcp, Serial };
  Kind kind = Kind::Tcp;
  std::string host;  // tcp: as written, brackets removed from an IPv6 literal
  uint16_t port = 0;
  std::string path;  // serial: the device node
  int baud = 9600;
  int dataBits = 8;
  int parityCode = 0;    // the channel's codes (base/line_settings.h)
  int stopBitsCode = 0;
};

struct PlanRow {
  int row = 0;  // 1-based among the data rows, for messages
  PlanTarget target;
  uint8_t address = 1;
  std::optional<uint8_t> setAddress;
  std::optional<Octets> ip, mask, gateway;
  std::map<int, uint32_t> serialBaud;  // data-port number -> baud rate
  std::map<int, uint16_t> serverPort;  // 1-based server-port entry -> port
};

// Where a plan is wrong. row 0 is the header (or the table as a whole).
struct PlanError {
  int row = 0;
  std::string column;  // the column's name as written; empty when no single column
  std::string reason;  // one line in English

  // "header" or the row number, then the column: "row 3, column ip: ...".
  std::string text() const;
};

struct ParsedPlan {
  bool ok = false;
  std::vector<PlanRow> rows;  // set when ok, at least one
  PlanError error;            // set when not ok
};

// Reads the CSV table (RFC 4180: quoted cells, doubled quotes, CRLF or LF;
// a UTF-8 byte-order mark and blank lines are passed over). The first
// record is the header; an unknown or repeated column, a missing target
// column, a row of another width or any invalid cell refuses the plan.
ParsedPlan parsePlan(std::string_view csvText);

// A target as a plan's target column takes it: tcp:HOST:PORT (tcp:[V6]:PORT)
// or serial:PATH[@BAUD[,8N1]]. Sets t and returns nothing, or the reason it
// is refused in one line of English.
std::optional<std::string> parsePlanTarget(std::string_view text, PlanTarget& t);

// The target as a plan writes it: "tcp:127.0.0.1:6000", "tcp:[::1]:6000",
// "serial:/dev/ttyUSB0@9600,8N1".
std::string targetText(const PlanTarget& target);

struct DeviceImage {
  bool ok = false;
  std::vector<uint8_t> image;  // set when ok
  PlanError error;             // set when not ok, with the row's number
};

// The template with the row's settings applied; every other byte stays as
// it is. Network port 0 (virtual interface 0) gets its IP, mask and gateway
// in every unit that carries them, or one unit appended when there is none;
// a data port's baud rate goes into the port's last unit (the one in effect)
// and must exist; a server port's number goes into the Kth server-port unit
// in image order, which must exist. The result holds at most 2048 bytes.
DeviceImage deviceImage(const std::vector<uint8_t>& templateImage, const PlanRow& row);

}  // namespace velmora

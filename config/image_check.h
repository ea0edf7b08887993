// Settings a device takes but that cannot work: overlapping holding-register
// ranges, a mask that is no mask, a gateway outside its subnet, one server
// port twice... Checked over the image before it is written; the window and
// velmora-cli share the rules and their words.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "config/image_diff.h"

namespace velmora {

enum class CheckSeverity { Note, Warning, Error };

struct CheckFinding {
  CheckSeverity severity = CheckSeverity::Note;
  std::string rule;               // a stable name for scripts: "holding_overlap", "mask_not_contiguous", ...
  std::vector<int32_t> units;     // the unit(s) concerned, by index in the image (0-based), in image order
  std::string english;            // one line: "holding registers input and output overlap at 100-119"
  std::string chinese;            // the same in the window's words
};

// Every finding over the image's whole units, errors first, then warnings,
// then notes; within a severity in image order.
std::vector<CheckFinding> checkImage(const std::vector<uint8_t>& image);

bool hasErrors(const std::vector<CheckFinding>& findings);

// "error", "warning", "note" / "错误", "警告", "提示".
std::string severityText(CheckSeverity severity, DiffLanguage language);
// One line: severity, then the message ("error: ...", "错误：...").
std::string findingLine(const CheckFinding& finding, DiffLanguage language);
// The findings as a JSON array: {"severity","rule","units":[...],"message"} per finding (English message).
std::string findingsJson(const std::vector<CheckFinding>& findings);

}  // namespace velmora

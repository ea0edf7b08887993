// The log's text: stamped lines ending in "\r\n", at most 200 of them; the
// append that makes 201 cuts back to the newest 100.
#pragma once

#include <string>
#include <string_view>

#include "base/text.h"

namespace velmora {

inline constexpr int kLogMaxLines = 200;
inline constexpr int kLogKeptLines = 100;

// "[YYYY-MM-DD hh:mm:ss] " + text + "\r\n"
std::string formatLogLine(const LocalTime& time, std::string_view text);

// Cuts text back to its newest kLogKeptLines lines when it holds more than
// kLogMaxLines line ends. Returns true when it cut.
bool trimLogText(std::string& text);

class LogText {
 public:
  // Appends one stamped line; true when the append also trimmed older lines.
  bool append(const LocalTime& time, std::string_view message) { return appendLine(formatLogLine(time, message)); }
  // Appends an already stamped line (ending in "\r\n").
  bool appendLine(std::string_view line);
  const std::string& text() const { return text_; }
  void clear() { text_.clear(); }

 private:
  std::string text_;
};

}  // namespace velmora

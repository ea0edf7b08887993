#include "diag/log_text.h"

namespace velmora {

std::string formatLogLine(const LocalTime& t, std::string_view text) {
  std::string line = strprintf("[%04d-%02d-%02d %02d:%02d:%02d] ", t.year, t.month, t.day, t.hour, t.minute, t.second);
  line.append(text);
  line.append("\r\n");
  return line;
}

bool trimLogText(std::string& text) {
  size_t count = 0;
  for (size_t pos = text.find("\r\n"); pos != std::string::npos; pos = text.find("\r\n", pos + 2)) ++count;
  if (count <= static_cast<size_t>(kLogMaxLines)) return false;
  // Keep what follows the (count - 100)-th line end.
  size_t cut = 0;
  size_t seen = 0;
  for (size_t pos = text.find("\r\n"); pos != std::string::npos; pos = text.find("\r\n", pos + 2)) {
    if (++seen == count - kLogKeptLines) {
      cut = pos + 2;
      break;
    }
  }
  if (cut == 0 || cut >= text.size()) return false;
  text.erase(0, cut);
  return true;
}

bool LogText::appendLine(std::string_view line) {
  text_ += line;
  return trimLogText(text_);
}

}  // namespace velmora

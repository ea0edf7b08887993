// Where log lines go: the log page in the window, standard error in
// velmora-cli, a list in tests. Each class that logs is handed one when it
// is built; a null sink drops the lines (and lets the class skip formatting
// them).
#pragma once

#include <string>

namespace velmora {

class LogSink {
 public:
  virtual ~LogSink() = default;
  // One line of text, without stamp or line end; the sink adds what it shows.
  virtual void logMessage(const std::string& text) = 0;
};

}  // namespace velmora

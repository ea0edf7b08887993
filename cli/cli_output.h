// Where velmora-cli's words go: results on standard output, log lines and
// reasons on standard error, each flushed at once so that a script reading
// both sees them in order.
#pragma once

#include <string>

#include "cli/cli_options.h"

namespace velmora::cli {

// Text as it is, on standard output.
void printOut(const std::string& text);
// One line on standard error (the line end is added).
void printError(const std::string& line);
// "velmora-cli: " and the reason, on standard error.
void printReason(const std::string& reason);
// The log page's line for text, stamped now, unless the run is quiet.
void logLine(const Options& options, const std::string& text);
// The absolute form of path, as the log names files.
std::string absolutePath(const std::string& path);

}  // namespace velmora::cli

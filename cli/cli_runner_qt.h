// The Qt side of velmora-cli: the real channels, timers and clock behind a
// CliSession, the event loop that runs it, and the files and streams around
// it. Needs a QCoreApplication.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "cli/cli_options.h"

namespace velmora::cli {

// Runs one parsed command to its end: results on standard output, log lines
// and the reason of a failure on standard error. Returns the exit status.
int runCommand(const Options& options);

// A configuration as write, diff and apply take it: a .vmc file's bytes or
// a JSON document's image. False with the reason on standard error.
bool loadConfiguration(const std::string& path, std::vector<uint8_t>& image);

}  // namespace velmora::cli

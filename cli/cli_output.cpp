#include "cli/cli_output.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

#include "base/clock.h"
#include "cli/cli_session.h"

namespace velmora::cli {

void printOut(const std::string& text) {
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
}

void printError(const std::string& line) {
  std::fputs((line + "\n").c_str(), stderr);
  std::fflush(stderr);
}

void printReason(const std::string& reason) { printError("velmora-cli: " + reason); }

void logLine(const Options& options, const std::string& text) {
  if (options.verbose) printError(terminalLogLine(localTimeNow(), text));
}

std::string absolutePath(const std::string& path) {
  std::error_code error;
  const std::filesystem::path absolute = std::filesystem::absolute(path, error);
  return error ? path : absolute.lexically_normal().string();
}

}  // namespace velmora::cli

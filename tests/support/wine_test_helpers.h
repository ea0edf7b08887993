// What the tests that run the Windows programs under Wine share: the
// programs' names from the environment, Linux paths as the programs name
// them, and COM ports that the private prefix maps to a pty.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"
#include "tests/support/test_images.h"

namespace velmora::testing {

// A file's bytes as text; empty when it is missing. The Windows programs'
// output goes to files (Wine's own processes would hold a pipe open).
inline std::string fileText(const std::string& path) {
  const std::optional<std::vector<uint8_t>> bytes = readWholeFile(path);
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

// The arguments of /bin/sh that run program under wine with its output in
// the files out and err ("/dev/null" drops it): a pipe would be held open by
// the Wine processes the program starts.
inline std::vector<std::string> underWine(const std::string& wine, const std::string& program, const std::string& out,
                                          const std::string& err, const std::vector<std::string>& args) {
  std::vector<std::string> all{"-c", "exec \"$0\" \"$@\" >'" + out + "' 2>'" + err + "'", wine, program};
  all.insert(all.end(), args.begin(), args.end());
  return all;
}

inline std::string env(const char* name) {
  const char* v = std::getenv(name);
  return v != nullptr ? v : "";
}

// A Linux path as the Windows program names it: Wine's Z: drive is "/".
inline std::string windowsPath(const std::string& path) {
  std::string p = "Z:" + path;
  for (char& c : p)
    if (c == '/') c = '\\';
  return p;
}

// COMn in the prefix, pointing at a pty while the object lives.
struct ComPort {
  ComPort(const std::string& prefix, int number, const std::string& pty)
      : name("COM" + std::to_string(number)), link(prefix + "/dosdevices/com" + std::to_string(number)) {
    std::filesystem::remove(link);
    std::filesystem::create_symlink(pty, link);
  }
  ~ComPort() { std::filesystem::remove(link); }
  ComPort(const ComPort&) = delete;
  ComPort& operator=(const ComPort&) = delete;
  std::string name;
  std::string link;
};

}  // namespace velmora::testing

// Runs velmora-devsim as a child process for the window tests: starts it
// with the options a test gives, reads the endpoints it prints (with a
// deadline), stops it with SIGTERM (SIGKILL when it lingers) and reads the
// image it saved. The child dies with the test process, so a crashed test
// leaves no simulator behind.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace velmora::e2e {

class DevsimRunner {
 public:
  // workDir holds the child's stderr log and whatever files the test names.
  explicit DevsimRunner(std::string workDir);
  ~DevsimRunner();
  DevsimRunner(const DevsimRunner&) = delete;
  DevsimRunner& operator=(const DevsimRunner&) = delete;

  // Starts the program with args and waits until it has printed one line for
  // each endpoint it serves. False (and the child stopped) when it failed
  // to start or did not announce its endpoints within the limit.
  bool start(const std::vector<std::string>& args, std::chrono::milliseconds limit = std::chrono::seconds(10));

  // SIGTERM, then SIGKILL when it has not ended within the limit. Returns
  // the exit code, or -1 when it had to be killed or was not running.
  int stop(std::chrono::milliseconds limit = std::chrono::seconds(3));

  bool running();

  // From the announced "tcp 127.0.0.1:PORT" line; 0 when there was none.
  uint16_t tcpPort() const { return tcpPort_; }
  // From the announced "pty /dev/pts/N" line; empty when there was none.
  const std::string& ptyPath() const { return ptyPath_; }

  // The file --save writes; the test passes saveArg() among the args.
  std::string savePath() const { return workDir_ + "/saved.vmc"; }
  std::vector<std::string> saveArg() const { return {"--save", savePath()}; }
  // The bytes the device saved, or nothing when it has not saved yet.
  std::optional<std::vector<uint8_t>> savedImage() const;

  // Writes bytes into the work directory and returns the full path.
  std::string writeFile(const std::string& name, const std::vector<uint8_t>& bytes) const;

  // What the program wrote on stderr (its --log lines), for failure reports.
  std::string errorOutput() const;

 private:
  std::string workDir_;
  pid_t pid_ = -1;
  int out_ = -1;
  uint16_t tcpPort_ = 0;
  std::string ptyPath_;
};

// Reads a whole file; nothing when it cannot be opened.
std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path);

}  // namespace velmora::e2e

#include "tests/e2e/devsim_runner.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>

namespace velmora::e2e {

namespace {

using Clock = std::chrono::steady_clock;

int msLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
}

}  // namespace

std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

DevsimRunner::DevsimRunner(std::string workDir) : workDir_(std::move(workDir)) {}

DevsimRunner::~DevsimRunner() { stop(); }

bool DevsimRunner::start(const std::vector<std::string>& args, std::chrono::milliseconds limit) {
  if (pid_ > 0) return false;
  const int expectLines = static_cast<int>(std::count_if(args.begin(), args.end(), [](const std::string& a) {
    return a == "--tcp" || a == "--udp" || a == "--pty";
  }));

  std::vector<std::string> argv{VELMORA_DEVSIM_PATH};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);

  int outPipe[2];
  if (pipe2(outPipe, O_CLOEXEC) != 0) return false;
  const std::string errPath = workDir_ + "/devsim.stderr";
  const int errFd = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
  if (errFd < 0) {
    close(outPipe[0]);
    close(outPipe[1]);
    return false;
  }
  const pid_t parent = getpid();
  const pid_t pid = fork();
  if (pid == 0) {
    // Only async-signal-safe calls until exec. The child is told to end with
    // its parent, and checks that the parent did not go first.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(126);
    dup2(outPipe[1], STDOUT_FILENO);
    dup2(errFd, STDERR_FILENO);
    execv(raw[0], raw.data());
    _exit(127);
  }
  close(outPipe[1]);
  close(errFd);
  if (pid < 0) {
    close(outPipe[0]);
    return false;
  }
  pid_ = pid;
  out_ = outPipe[0];

  // The endpoint lines, read with a deadline.
  std::string text;
  const auto deadline = Clock::now() + limit;
  while (std::count(text.begin(), text.end(), '\n') < expectLines) {
    pollfd p{out_, POLLIN, 0};
    const int r = poll(&p, 1, msLeft(deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) break;
    char chunk[512];
    const ssize_t n = read(out_, chunk, sizeof chunk);
    if (n <= 0) break;
    text.append(chunk, static_cast<size_t>(n));
  }
  std::istringstream in(text);
  std::string kind, where;
  int lines = 0;
  while (in >> kind >> where) {
    ++lines;
    if (kind == "tcp") {
      const size_t colon = where.rfind(':');
      if (colon != std::string::npos) tcpPort_ = static_cast<uint16_t>(std::atoi(where.c_str() + colon + 1));
    } else if (kind == "pty") {
      ptyPath_ = where;
    }
  }
  if (lines < expectLines) {
    stop();
    return false;
  }
  return true;
}

bool DevsimRunner::running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (waitpid(pid_, &status, WNOHANG) == pid_) {
    pid_ = -1;
    return false;
  }
  return true;
}

int DevsimRunner::stop(std::chrono::milliseconds limit) {
  int result = -1;
  if (pid_ > 0) {
    kill(pid_, SIGTERM);
    const auto deadline = Clock::now() + limit;
    bool ended = false;
    int status = 0;
    while (Clock::now() < deadline) {
      const pid_t r = waitpid(pid_, &status, WNOHANG);
      if (r == pid_ || (r < 0 && errno == ECHILD)) {
        ended = true;
        break;
      }
      usleep(10'000);
    }
    if (ended) {
      result = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    } else {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    pid_ = -1;
  }
  if (out_ >= 0) {
    close(out_);
    out_ = -1;
  }
  return result;
}

std::optional<std::vector<uint8_t>> DevsimRunner::savedImage() const { return readWholeFile(savePath()); }

std::string DevsimRunner::writeFile(const std::string& name, const std::vector<uint8_t>& bytes) const {
  const std::string path = workDir_ + "/" + name;
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  return path;
}

std::string DevsimRunner::errorOutput() const {
  const auto bytes = readWholeFile(workDir_ + "/devsim.stderr");
  return bytes ? std::string(bytes->begin(), bytes->end()) : std::string();
}

}  // namespace velmora::e2e

#include "tests/support/child_process.h"

#include <fcntl.h>
#include <grp.h>
#include <poll.h>
#include <sys/mman.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sstream>
#include <string_view>

namespace velmora::testing {

static void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

std::optional<std::vector<uint8_t>> readWholeFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void writeWholeFile(const std::string& path, const std::vector<uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary | std::ios::trunc)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

Child::~Child() {
  reap(Clock::now());
  closeFd(out_), closeFd(err_);
}

bool Child::spawn(const std::string& program, const std::vector<std::string>& args, int stderrFd) {
  if (pid_ > 0) return false;
  closeFd(out_), closeFd(err_);
  out.clear(), err.clear();
  // Made before fork: after it only async-signal-safe calls (the test may have threads).
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);
  // The programs choose their language from the locale; a test sees the
  // Chinese texts on any machine unless its arguments ask for --lang en.
  std::vector<char*> env;
  for (char** e = environ; *e != nullptr; ++e) {
    const std::string_view entry(*e);
    if (entry.starts_with("LANG=") || entry.starts_with("LC_ALL=") || entry.starts_with("LC_MESSAGES=") ||
        entry.starts_with("LANGUAGE="))
      continue;
    env.push_back(*e);
  }
  env.push_back(nullptr);

  int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
  const bool piped = ::pipe2(outPipe, O_CLOEXEC) == 0 && (stderrFd >= 0 || ::pipe2(errPipe, O_CLOEXEC) == 0);
  const pid_t parent = ::getpid();
  const pid_t pid = piped ? ::fork() : -1;
  if (pid == 0) {
    // Before the death signal: a change of identity clears it.
    if (asUser_ && (::setgroups(0, nullptr) != 0 || ::setgid(gid_) != 0 || ::setuid(uid_) != 0)) ::_exit(125);
    // The death signal follows the forking thread (children start from the
    // main thread); getppid() catches a parent already gone.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(126);
    ::dup2(outPipe[1], STDOUT_FILENO);
    ::dup2(stderrFd >= 0 ? stderrFd : errPipe[1], STDERR_FILENO);
    ::execve(raw[0], raw.data(), env.data());
    ::_exit(127);
  }
  closeFd(outPipe[1]), closeFd(errPipe[1]);
  out_ = outPipe[0];
  err_ = errPipe[0];
  if (pid < 0) return false;  // the destructor or the next spawn closes the rest
  pid_ = pid;
  return true;
}

bool Child::waitForExec(const std::string& name, Clock::time_point deadline) const {
  const std::string comm = "/proc/" + std::to_string(pid_) + "/comm";
  while (Clock::now() < deadline) {
    std::ifstream in(comm);
    std::string line;
    if (std::getline(in, line) && line == name.substr(0, 15)) return true;
    ::usleep(2000);
  }
  return false;
}

bool Child::collect(Clock::time_point deadline, const std::function<bool(const std::string&)>& done) {
  while (!(done && done(out))) {
    std::vector<pollfd> fds;
    for (int fd : {out_, err_})
      if (fd >= 0) fds.push_back({fd, POLLIN, 0});
    if (fds.empty()) return false;
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    const int r = ::poll(fds.data(), fds.size(), static_cast<int>(std::max<decltype(left)>(left, 0)));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    for (const pollfd& p : fds) {
      if ((p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      char chunk[4096];
      const ssize_t n = ::read(p.fd, chunk, sizeof chunk);
      if (n > 0)
        (p.fd == out_ ? out : err).append(chunk, static_cast<size_t>(n));
      else
        closeFd(p.fd == out_ ? out_ : err_);
    }
  }
  return true;
}

int Child::reap(Clock::time_point deadline) {
  while (pid_ > 0) {
    int status = 0;
    const pid_t r = ::waitpid(pid_, &status, WNOHANG);
    if (r == 0 && Clock::now() < deadline) {
      ::usleep(5'000);
      continue;
    }
    if (r == 0) ::kill(pid_, SIGKILL), ::waitpid(pid_, nullptr, 0);
    status_ = r == pid_ && WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    pid_ = -1;
  }
  return status_;
}

RunResult runToEnd(const std::string& program, const std::vector<std::string>& args, std::chrono::milliseconds limit) {
  Child child;
  if (!child.spawn(program, args)) return {};
  const auto deadline = Clock::now() + limit;
  child.collect(deadline);
  const int exitCode = child.reap(deadline);
  return {exitCode, std::move(child.out), std::move(child.err)};
}

Devsim::~Devsim() {
  stop();
  closeFd(errFd_);
}

bool Devsim::start(const std::vector<std::string>& args, std::chrono::milliseconds limit) {
  endpoints_.clear();
  closeFd(errFd_);
  errFd_ = ::memfd_create("devsim-stderr", MFD_CLOEXEC);
  if (errFd_ < 0 || !child_.spawn(program_, args, errFd_)) return false;
  const auto countAt = std::find(args.begin(), args.end(), "--count");
  const long devices = countAt != args.end() && countAt + 1 != args.end() ? std::atol((countAt + 1)->c_str()) : 1;
  const auto expected = std::count(args.begin(), args.end(), "--tcp") * std::max(devices, 1L) +
                        std::count(args.begin(), args.end(), "--udp") + std::count(args.begin(), args.end(), "--pty");
  const bool complete = child_.collect(
      Clock::now() + limit, [&](const std::string& text) { return std::count(text.begin(), text.end(), '\n') >= expected; });
  std::istringstream in(child_.out);
  for (std::string kind, where; in >> kind >> where;) endpoints_[kind].push_back(where);
  return complete;
}

int Devsim::stop(int sig) {
  child_.signal(sig);
  return child_.reap(Clock::now() + std::chrono::seconds(10));
}

std::string Devsim::endpoint(const std::string& kind, size_t index) const {
  const auto it = endpoints_.find(kind);
  return it == endpoints_.end() || index >= it->second.size() ? std::string() : it->second[index];
}

uint16_t Devsim::port(const std::string& kind, size_t index) const {
  const std::string where = endpoint(kind, index);
  return where.empty() ? 0 : static_cast<uint16_t>(std::stoi(where.substr(where.rfind(':') + 1)));
}

std::string Devsim::errorOutput() const {
  // A fresh open of the memfd reads it from the start.
  const auto text = readWholeFile("/proc/self/fd/" + std::to_string(errFd_));
  return text ? std::string(text->begin(), text->end()) : std::string();
}

}  // namespace velmora::testing

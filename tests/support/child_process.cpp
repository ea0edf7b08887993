#include "tests/support/child_process.h"

#include <fcntl.h>
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

namespace velmora::testing {

namespace {

void closeFd(int& fd) {
  if (fd >= 0) ::close(fd);
  fd = -1;
}

}  // namespace

int msLeft(Clock::time_point deadline) {
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
  return left > 0 ? static_cast<int>(left) : 0;
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
  if (pid_ > 0) {
    ::kill(pid_, SIGKILL);
    ::waitpid(pid_, nullptr, 0);
  }
  closeFd(out_);
  closeFd(err_);
}

bool Child::spawn(const std::string& program, const std::vector<std::string>& args, int stderrFd) {
  if (pid_ > 0) return false;
  closeFd(out_);
  closeFd(err_);
  out.clear();
  err.clear();
  status_ = -1;
  // Made before fork: after it only async-signal-safe calls, as the test
  // process may have threads.
  std::vector<std::string> argv{program};
  argv.insert(argv.end(), args.begin(), args.end());
  std::vector<char*> raw;
  for (std::string& a : argv) raw.push_back(a.data());
  raw.push_back(nullptr);

  int outPipe[2] = {-1, -1}, errPipe[2] = {-1, -1};
  if (::pipe2(outPipe, O_CLOEXEC) != 0 || (stderrFd < 0 && ::pipe2(errPipe, O_CLOEXEC) != 0)) {
    for (int* fd : {&outPipe[0], &outPipe[1], &errPipe[0], &errPipe[1]}) closeFd(*fd);
    return false;
  }
  const pid_t parent = ::getpid();
  const pid_t pid = ::fork();
  if (pid == 0) {
    // The death signal comes when the forking thread ends: children are
    // started from the main thread. getppid() catches a parent already gone.
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (::getppid() != parent) ::_exit(126);
    ::dup2(outPipe[1], STDOUT_FILENO);
    ::dup2(stderrFd >= 0 ? stderrFd : errPipe[1], STDERR_FILENO);
    ::execv(raw[0], raw.data());
    ::_exit(127);
  }
  closeFd(outPipe[1]);
  closeFd(errPipe[1]);
  if (pid < 0) {
    closeFd(outPipe[0]);
    closeFd(errPipe[0]);
    return false;
  }
  pid_ = pid;
  out_ = outPipe[0];
  err_ = errPipe[0];
  return true;
}

bool Child::collect(Clock::time_point deadline, const std::function<bool(const std::string&)>& done) {
  while (!(done && done(out))) {
    std::vector<pollfd> fds;
    for (int fd : {out_, err_})
      if (fd >= 0) fds.push_back({fd, POLLIN, 0});
    if (fds.empty()) return false;
    const int r = ::poll(fds.data(), fds.size(), msLeft(deadline));
    if (r < 0 && errno == EINTR) continue;
    if (r <= 0) return false;
    for (const pollfd& p : fds) {
      if ((p.revents & (POLLIN | POLLHUP | POLLERR)) == 0) continue;
      char chunk[4096];
      const ssize_t n = ::read(p.fd, chunk, sizeof chunk);
      if (n < 0 && errno == EINTR) continue;
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
    const bool gone = r < 0 && errno != EINTR;  // not ours to wait for any more
    if (r == pid_) {
      status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      pid_ = -1;
    } else if (gone || Clock::now() >= deadline) {
      if (!gone) {
        ::kill(pid_, SIGKILL);
        ::waitpid(pid_, nullptr, 0);
      }
      status_ = -1;
      pid_ = -1;
    } else {
      ::usleep(5'000);
    }
  }
  return status_;
}

void Child::signal(int sig) {
  if (pid_ > 0) ::kill(pid_, sig);
}

bool Child::running() {
  if (pid_ <= 0) return false;
  int status = 0;
  if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
  pid_ = -1;
  status_ = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return false;
}

RunResult runToEnd(const std::string& program, const std::vector<std::string>& args, std::chrono::milliseconds limit) {
  RunResult result;
  Child child;
  if (!child.spawn(program, args)) return result;
  const auto deadline = Clock::now() + limit;
  child.collect(deadline);
  result.exitCode = child.reap(deadline);
  result.out = std::move(child.out);
  result.err = std::move(child.err);
  return result;
}

Devsim::~Devsim() {
  stop();
  closeFd(errFd_);
}

bool Devsim::start(const std::vector<std::string>& args, std::chrono::milliseconds limit) {
  if (child_.running()) return false;
  endpoints_.clear();
  closeFd(errFd_);
  errFd_ = ::memfd_create("devsim-stderr", MFD_CLOEXEC);
  if (errFd_ < 0 || !child_.spawn(program_, args, errFd_)) return false;
  const auto expected = std::count_if(args.begin(), args.end(), [](const std::string& a) {
    return a == "--tcp" || a == "--udp" || a == "--pty";
  });
  const bool complete = child_.collect(Clock::now() + limit, [expected](const std::string& text) {
    return std::count(text.begin(), text.end(), '\n') >= expected;
  });
  std::istringstream in(child_.out);
  std::string kind, where;
  while (in >> kind >> where) endpoints_[kind] = where;
  return complete;
}

int Devsim::stop(int sig, std::chrono::milliseconds limit) {
  child_.signal(sig);
  return child_.reap(Clock::now() + limit);
}

std::string Devsim::endpoint(const std::string& kind) const {
  const auto it = endpoints_.find(kind);
  return it == endpoints_.end() ? std::string() : it->second;
}

uint16_t Devsim::port(const std::string& kind) const {
  const std::string where = endpoint(kind);
  const size_t colon = where.rfind(':');
  return colon == std::string::npos ? 0 : static_cast<uint16_t>(std::atoi(where.c_str() + colon + 1));
}

std::string Devsim::errorOutput() const {
  std::string text;
  char chunk[4096];
  for (off_t at = 0; errFd_ >= 0;) {
    const ssize_t n = ::pread(errFd_, chunk, sizeof chunk, at);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) break;
    text.append(chunk, static_cast<size_t>(n));
    at += n;
  }
  return text;
}

}  // namespace velmora::testing

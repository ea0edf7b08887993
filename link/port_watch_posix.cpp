#include "link/port_watch_posix.h"

#include <sys/inotify.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace velmora {

namespace {

// Entries made, removed or renamed. Not IN_ATTRIB: the list is of what is
// there, and the kernel touches a tty's times as it is used, which would
// look again every few seconds for nothing.
constexpr uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

std::string parentOf(const std::string& folder) {
  const size_t slash = folder.find_last_of('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? std::string("/") : folder.substr(0, slash);
}

}  // namespace

FolderWatch::FolderWatch() : fd_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {}

FolderWatch::~FolderWatch() {
  if (fd_ >= 0) ::close(fd_);
}

bool FolderWatch::watch(const std::vector<std::string>& folders) {
  if (fd_ < 0) return false;
  for (int w : watches_) ::inotify_rm_watch(fd_, w);
  watches_.clear();
  folders_ = folders;
  arm();
  return !watches_.empty();
}

void FolderWatch::arm() {
  // Adding a watch on a watched folder again gives the same one back, so
  // this runs after every change: a folder that came is watched itself, one
  // that went is waited for at its parent again.
  for (const std::string& folder : folders_) {
    std::string dir = folder;
    for (int up = 0; up < 16 && !dir.empty(); ++up) {
      const int w = ::inotify_add_watch(fd_, dir.c_str(), kMask);
      if (w >= 0) {
        if (std::find(watches_.begin(), watches_.end(), w) == watches_.end()) watches_.push_back(w);
        break;
      }
      if (errno != ENOENT && errno != ENOTDIR) break;
      if (dir == "/") break;
      dir = parentOf(dir);
    }
  }
}

bool FolderWatch::drain() {
  if (fd_ < 0) return false;
  bool any = false;
  alignas(inotify_event) char buffer[4096];
  for (int round = 0; round < 64; ++round) {
    const ssize_t n = ::read(fd_, buffer, sizeof buffer);
    if (n <= 0) break;
    any = true;
    for (ssize_t at = 0; at < n;) {
      const auto* e = reinterpret_cast<const inotify_event*>(buffer + at);
      if (e->mask & IN_IGNORED) std::erase(watches_, e->wd);
      at += static_cast<ssize_t>(sizeof(inotify_event) + e->len);
    }
  }
  if (any) arm();
  return any;
}

}  // namespace velmora

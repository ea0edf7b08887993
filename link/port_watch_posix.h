// Watches folders of device nodes with inotify: one descriptor that becomes
// readable when an entry is made, removed or renamed in any of them. A folder that does not exist yet (/dev/serial/by-id
// before the first USB adapter) is waited for at its nearest existing parent.
#pragma once

#include <string>
#include <vector>

namespace velmora {

class FolderWatch {
 public:
  FolderWatch();
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // Watches folders from now on (and no others); false when the system
  // gives no watch at all.
  bool watch(const std::vector<std::string>& folders);
  // The descriptor to wait on; -1 without inotify.
  int descriptor() const { return fd_; }
  // Reads what is queued without waiting; true when anything happened.
  // Folders made or removed since are watched again.
  bool drain();

 private:
  void arm();
  int fd_ = -1;
  std::vector<std::string> folders_;
  std::vector<int> watches_;
};

}  // namespace velmora

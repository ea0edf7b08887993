// A pty whose slave another program holds open exclusively (TIOCEXCL), as a
// terminal program holds a port: a sleep child inherits the descriptor.
#pragma once

#include <fcntl.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include "tests/link/pty_pair_qt.h"
#include "tests/support/child_process.h"

namespace velmora::testing {

struct HeldPty {
  HeldPty() {
    // Without O_CLOEXEC, so the child has it; the test's own copy goes at once.
    const int fd = ::open(pty.slavePath().c_str(), O_RDWR | O_NOCTTY);
    held = fd >= 0 && ::ioctl(fd, TIOCEXCL) == 0 && holder.spawn("/bin/sleep", {"60"});
    if (fd >= 0) ::close(fd);
    // Until exec the holder still goes by the test's name.
    held = held && holder.waitForExec("sleep", Clock::now() + std::chrono::seconds(5));
  }
  bool ok() const { return pty.ok() && held; }
  const std::string& path() const { return pty.slavePath(); }

  PtyPair pty;
  Child holder;
  bool held = false;
};

}  // namespace velmora::testing

// The POSIX side of velmora-devsim: sockets, the pseudo-terminal and the
// poll loop that moves bytes between them and the device model.
#pragma once

#include <cstdio>
#include <memory>

#include "sim/devsim_options.h"

namespace velmora::sim {

// Opens the endpoints, prints one line per endpoint to out, then serves
// until stopRequested turns true (set from a signal handler). Returns the
// process exit code; reasons for failure go to err as one line.
int runDevsim(const DevsimOptions& options, std::FILE* out, std::FILE* err);

// Installs SIGINT/SIGTERM handlers that end runDevsim, and ignores SIGPIPE.
void installDevsimSignals();

}  // namespace velmora::sim

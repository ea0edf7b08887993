// velmora-cli apply: every device of the plan an attempt on its own link,
// all of them on the host's one event loop (the engine's pauses wait on
// timers), or the serial commissioning bench.
#pragma once

#include "cli/cli_host.h"
#include "cli/cli_options.h"

namespace velmora::cli {

// The whole plan, or the bench; the exit status (0 all ok, 1 any failed or
// not reached, 2 a usage, plan or file error before any device is reached).
int runApply(CliHost& host, const Options& options);

}  // namespace velmora::cli

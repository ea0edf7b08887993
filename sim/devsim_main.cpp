// velmora-devsim: a simulated gateway on 127.0.0.1 (TCP, UDP) and a pty.
#include <cstdio>
#include <string>
#include <vector>

#include "sim/devsim_options.h"
#include "sim/devsim_server.h"

int main(int argc, char** argv) {
  using namespace velmora::sim;
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParsedOptions parsed = parseDevsimOptions(args);
  if (!parsed.options) {
    std::fprintf(stderr, "velmora-devsim: %s (see --help)\n", parsed.error.c_str());
    return 2;
  }
  if (parsed.options->help) {
    std::fputs(devsimUsage().c_str(), stdout);
    return 0;
  }
  installDevsimSignals();
  return runDevsim(*parsed.options, stdout, stderr);
}

// velmora-cli: the configuration transfers and address commands from a shell.
#include <QCoreApplication>

#include <csignal>
#include <optional>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_options.h"
#include "cli/cli_host_qt.h"
#include "cli/cli_runner.h"
#include "ui/language_qt.h"

int main(int argc, char** argv) {
  using namespace velmora::cli;
  // A peer that goes away must show as a failed send, not end the program.
  std::signal(SIGPIPE, SIG_IGN);
  // The arguments as given: file names are bytes, not text to be decoded.
  const std::vector<std::string> args(argv + 1, argv + argc);
  const ParseResult parsed = parseArguments(args);
  if (const std::optional<int> answered = answerBeforeRunning(parsed)) return *answered;
  QCoreApplication app(argc, argv);
  velmora::ui::useLanguage(velmora::chooseLanguage(parsed.options->language, std::getenv("LC_ALL"),
                                                   std::getenv("LC_MESSAGES"), std::getenv("LANG")));
  QtCliHost host;
  return runCommand(host, *parsed.options);
}

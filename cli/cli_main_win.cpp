// velmora-cli.exe: the configuration transfers and address commands from a
// Windows console, a pipe or a script.
#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <optional>
#include <cstdlib>
#include <string>
#include <vector>

#include "cli/cli_host_win.h"
#include "cli/cli_options.h"
#include "cli/cli_runner.h"
#include "base/ts_catalog.h"
#include "base/win_text_win.h"

extern const char kEnglishTs[];

int wmain(int argc, wchar_t** argv) {
  using namespace velmora::cli;
  // Text goes out as UTF-8 bytes, as on Linux: unchanged into a file or a
  // pipe (no CR added), and shown right by a console switched to UTF-8.
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  SetConsoleOutputCP(CP_UTF8);
  // The arguments as UTF-16, so a file name in any script reaches us whole;
  // the logic and the file functions take UTF-8.
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(velmora::narrow(argv[i]));
  const ParseResult parsed = parseArguments(args);
  if (const std::optional<int> answered = answerBeforeRunning(parsed)) return *answered;
  const velmora::Language language = velmora::chooseLanguage(parsed.options->language, std::getenv("LC_ALL"),
                                                             std::getenv("LC_MESSAGES"), std::getenv("LANG"));
  // The English texts from the translation file built in.
  if (language == velmora::Language::English) velmora::useEnglishTexts(kEnglishTs);
  WinCliHost host;
  return runCommand(host, *parsed.options);
}

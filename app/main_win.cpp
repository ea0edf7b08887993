// velmora.exe: the configuration tool's window on Windows.
#include <windows.h>
#include <commctrl.h>
#include <shellapi.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "app/main_window_win.h"
#include "base/tr_text.h"
#include "base/ts_catalog.h"
#include "link/client_socket_win.h"
#include "ui/ui_kit_win.h"

extern const char kEnglishTs[];

namespace {

// --lang wins; otherwise English when Windows' own language is English.
velmora::Language chosenLanguage(const std::optional<velmora::Language>& option) {
  if (option) return *option;
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_ENGLISH ? velmora::Language::English
                                                                   : velmora::Language::Chinese;
}

// Sharp text on every monitor: the per-monitor mode where Windows has it
// (10, 1703 on), else the system's DPI.
void becomeDpiAware() {
  using SetContext = BOOL(WINAPI*)(HANDLE);
  HMODULE user = GetModuleHandleW(L"user32.dll");
  const auto setContext =
      user != nullptr ? reinterpret_cast<SetContext>(reinterpret_cast<void*>(GetProcAddress(user, "SetProcessDpiAwarenessContext"))) : nullptr;
  if (setContext != nullptr && setContext(reinterpret_cast<HANDLE>(-4))) return;  // PER_MONITOR_AWARE_V2
  SetProcessDPIAware();
}

// The value after name among the arguments ("--name value" or "--name=value"); empty when absent.
std::string optionValue(const std::vector<std::string>& args, const std::string& name) {
  std::string value;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == name && i + 1 < args.size()) value = args[i + 1];
    if (args[i].rfind(name + "=", 0) == 0) value = args[i].substr(name.size() + 1);
  }
  return value;
}

// The first argument that is neither an option nor an option's value: a
// file to open (Explorer passes the .vmc file opened with the tool).
std::string fileArgument(const std::vector<std::string>& args) {
  static const char* const kWithValue[] = {"--lang", "--file-answer", "--answer-boxes", "--scan-target"};
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i].rfind("--", 0) != 0) return args[i];
    for (const char* option : kWithValue)
      if (args[i] == option) ++i;
  }
  return {};
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int show) {
  int argc = 0;
  wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
  std::vector<std::string> args;
  for (int i = 1; i < argc; ++i) args.push_back(velmora::winui::utf8(argv[i]));
  LocalFree(argv);

  const velmora::LanguageOption lang = velmora::findLanguageOption(args);
  if (!lang.error.empty()) {
    std::fprintf(stderr, "velmora: %s\n", lang.error.c_str());
    return 2;
  }
  if (chosenLanguage(lang.language) == velmora::Language::English) velmora::useEnglishTexts(kEnglishTs);
  // Tests: the boxes answer by themselves (said on standard error), and
  // the file dialogs answer a given path.
  const std::string answers = optionValue(args, "--answer-boxes");
  if (answers == "yes") velmora::winui::setBoxAnswers(velmora::winui::BoxAnswers::Yes);
  if (answers == "no") velmora::winui::setBoxAnswers(velmora::winui::BoxAnswers::No);

  becomeDpiAware();
  INITCOMMONCONTROLSEX controls{sizeof controls, 0xFF};
  InitCommonControlsEx(&controls);
  if (!velmora::startWinsock()) {
    velmora::winui::messageBox(nullptr, velmora::trText("Startup", "Socket初始化失败"));
    return 1;
  }

  velmora::MainWindowOptions options;
  options.fileAnswer = optionValue(args, "--file-answer");
  options.openAtStart = fileArgument(args);
  // --scan-target HOST[:PORT]: the scan's only destination (tests, and
  // users who know where their device is).
  const std::string target = optionValue(args, "--scan-target");
  if (const size_t colon = target.rfind(':'); colon != std::string::npos) {
    options.scanHost = target.substr(0, colon);
    options.scanPort = static_cast<uint16_t>(std::atoi(target.c_str() + colon + 1));
  } else {
    options.scanHost = target;
  }
  velmora::MainWindowWin window(options);
  if (!window.create(show)) return 1;
  MSG message;
  while (GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (window.accelerators() != nullptr && TranslateAcceleratorW(window.handle(), window.accelerators(), &message))
      continue;
    // Tab moves between controls; Enter and Escape become IDOK and IDCANCEL,
    // which the main window ignores.
    if (IsDialogMessageW(window.handle(), &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  return 0;
}

// velmora-drive.exe: drives a running velmora.exe from outside, as a user's
// clicks and keys would, through the window's own messages: WM_COMMAND with
// a control's id, text set and read with WM_SETTEXT/WM_GETTEXT, the tab
// control's arrow key, and real key presses (SendInput) for the menu keys.
// Controls are named by their id path from the main window ("111/200/2003":
// tab host, connection page, IP box). One command after another; each
// prints one line ("ok", a text, or "fail: why") and a failed one ends the
// run with 1. Every wait is bounded by its own limit. "@FILE" as the only
// argument reads the commands from FILE, one word a line, as UTF-8: Wine
// reads a command line in the locale's charset, which may hold no Chinese.
#include <windows.h>
#include <commctrl.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

std::string utf8(const std::wstring& text) {
  if (text.empty()) return {};
  const int n = WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
  return out;
}

HWND mainWindow() { return FindWindowW(L"VelmoraMain", nullptr); }

// The dialog on show (the scan, a comparison's result): the program's only
// top-level page window.
HWND popupDialog() { return FindWindowW(L"VelmoraPage", nullptr); }

// "scan/…" and "dialog/…" start from the dialog on show.
HWND byPath(const std::wstring& path) {
  HWND at = mainWindow();
  size_t from = 0;
  if (path.rfind(L"scan", 0) == 0 || path.rfind(L"dialog", 0) == 0) {
    at = popupDialog();
    const size_t slash = path.find(L'/');
    from = slash == std::wstring::npos ? path.size() : slash + 1;
  }
  while (at != nullptr && from < path.size()) {
    const size_t slash = path.find(L'/', from);
    const int id = std::stoi(path.substr(from, slash - from));
    at = GetDlgItem(at, id);
    from = slash == std::wstring::npos ? path.size() : slash + 1;
  }
  return at;
}

std::string textOf(HWND window) {
  const LRESULT n = SendMessageW(window, WM_GETTEXTLENGTH, 0, 0);
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  const LRESULT got = SendMessageW(window, WM_GETTEXT, static_cast<WPARAM>(n + 1), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(got > 0 ? got : 0));
  return utf8(text);
}

// Runs until check() or limit milliseconds; true when check() held.
template <typename Check>
bool waitFor(int limit, Check check) {
  const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(limit);
  while (true) {
    if (check()) return true;
    if (GetTickCount64() >= until) return false;
    Sleep(2);  // fine enough for the bench's stopwatch, cheap enough for the tests
  }
}

void press(WORD key, bool up) {
  INPUT input{};
  input.type = INPUT_KEYBOARD;
  input.ki.wVk = key;
  input.ki.dwFlags = up ? KEYEVENTF_KEYUP : 0;
  SendInput(1, &input, sizeof input);
}

int fail(const std::string& why) {
  std::printf("fail: %s\n", why.c_str());
  std::fflush(stdout);
  return 1;
}

std::wstring wide(const std::string& text) {
  if (text.empty()) return {};
  const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  std::wstring out(static_cast<size_t>(n), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), out.data(), n);
  return out;
}

std::vector<std::wstring> linesOf(const std::wstring& path) {
  std::vector<std::wstring> lines;
  FILE* file = _wfopen(path.c_str(), L"rb");
  if (file == nullptr) return lines;
  std::string all;
  char buffer[4096];
  for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, file)) > 0;) all.append(buffer, n);
  std::fclose(file);
  size_t from = 0;
  while (from < all.size()) {
    size_t end = all.find('\n', from);
    if (end == std::string::npos) end = all.size();
    lines.push_back(wide(all.substr(from, end - from)));
    from = end + 1;
  }
  return lines;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
  // Texts go out byte for byte: the control's "\r\n" stays as it is.
  _setmode(_fileno(stdout), _O_BINARY);
  ULONGLONG lap = GetTickCount64();
  std::vector<std::wstring> args(argv + 1, argv + argc);
  if (args.size() == 1 && !args[0].empty() && args[0][0] == L'@') args = linesOf(args[0].substr(1));
  size_t i = 0;
  const auto next = [&]() -> std::wstring { return i < args.size() ? args[i++] : std::wstring(); };
  while (i < args.size()) {
    const std::wstring command = next();
    if (command == L"wait-window") {
      const int limit = std::stoi(next());
      if (!waitFor(limit, [] { return mainWindow() != nullptr && IsWindowVisible(mainWindow()); }))
        return fail("no window");
      std::printf("ok\n");
    } else if (command == L"wait-text") {  // PATH PART LIMIT: the control's text holds PART
      const std::wstring path = next();
      const std::string part = utf8(next());
      const int limit = std::stoi(next());
      std::string text;
      if (!waitFor(limit, [&] {
            HWND control = byPath(path);
            text = control != nullptr ? textOf(control) : std::string();
            return text.find(part) != std::string::npos;
          }))
        return fail("\"" + part + "\" not in \"" + text + "\"");
      std::printf("ok\n");
    } else if (command == L"wait-count") {  // PATH PART COUNT LIMIT: the control's text holds PART COUNT times
      const std::wstring path = next();
      const std::string part = utf8(next());
      const size_t count = static_cast<size_t>(std::stoi(next()));
      const int limit = std::stoi(next());
      size_t found = 0;
      if (part.empty()) return fail("nothing to count");
      if (!waitFor(limit, [&] {
            HWND control = byPath(path);
            const std::string text = control != nullptr ? textOf(control) : std::string();
            found = 0;
            for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) ++found;
            return found >= count;
          }))
        return fail(std::to_string(found) + " times \"" + part + "\"");
      std::printf("ok\n");
    } else if (command == L"text") {  // PATH: the text, line ends as they are, then a line "<end>"
      HWND control = byPath(next());
      if (control == nullptr) return fail("no control");
      std::printf("%s\n<end>\n", textOf(control).c_str());
    } else if (command == L"set") {  // PATH TEXT
      HWND control = byPath(next());
      const std::wstring text = next();
      if (control == nullptr) return fail("no control");
      SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str()));
      std::printf("ok\n");
    } else if (command == L"click") {  // PATH: BN_CLICKED to the button's parent
      HWND control = byPath(next());
      if (control == nullptr) return fail("no control");
      const int id = GetDlgCtrlID(control);
      PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
      std::printf("ok\n");
    } else if (command == L"check") {  // PATH: a radio button or check box set, then its BN_CLICKED
      HWND control = byPath(next());
      if (control == nullptr) return fail("no control");
      SendMessageW(control, BM_SETCHECK, BST_CHECKED, 0);
      const int id = GetDlgCtrlID(control);
      PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(id, BN_CLICKED), reinterpret_cast<LPARAM>(control));
      std::printf("ok\n");
    } else if (command == L"wait-list") {  // PATH COUNT LIMIT: a list box holds COUNT entries
      const std::wstring path = next();
      const LRESULT count = std::stoi(next());
      const int limit = std::stoi(next());
      if (!waitFor(limit, [&] { return byPath(path) != nullptr && SendMessageW(byPath(path), LB_GETCOUNT, 0, 0) == count; }))
        return fail("not " + std::to_string(count) + " entries");
      std::printf("ok\n");
    } else if (command == L"rows") {  // PATH: "rows N", the rows of a list view
      HWND control = byPath(next());
      if (control == nullptr) return fail("no control");
      std::printf("rows %ld\n", static_cast<long>(SendMessageW(control, LVM_GETITEMCOUNT, 0, 0)));
    } else if (command == L"wait-rows") {  // PATH COUNT LIMIT: a list view holds COUNT rows
      const std::wstring path = next();
      const LRESULT count = std::stoi(next());
      const int limit = std::stoi(next());
      if (!waitFor(limit, [&] { return byPath(path) != nullptr && SendMessageW(byPath(path), LVM_GETITEMCOUNT, 0, 0) == count; }))
        return fail("not " + std::to_string(count) + " rows");
      std::printf("ok\n");
    } else if (command == L"wait-file") {  // FILE LIMIT: the file exists (a save writes it whole, then renames)
      const std::wstring file = next();
      const int limit = std::stoi(next());
      if (!waitFor(limit, [&] { return GetFileAttributesW(file.c_str()) != INVALID_FILE_ATTRIBUTES; }))
        return fail("no file " + utf8(file));
      std::printf("ok\n");
    } else if (command == L"pick") {  // PATH INDEX: a double click on a list box entry
      HWND control = byPath(next());
      const int index = std::stoi(next());
      if (control == nullptr) return fail("no control");
      SendMessageW(control, LB_SETCURSEL, static_cast<WPARAM>(index), 0);
      PostMessageW(GetParent(control), WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), LBN_DBLCLK),
                   reinterpret_cast<LPARAM>(control));
      std::printf("ok\n");
    } else if (command == L"wait-gone") {  // PATH LIMIT: the window is hidden or gone
      const std::wstring path = next();
      const int limit = std::stoi(next());
      if (!waitFor(limit, [&] { return byPath(path) == nullptr || !IsWindowVisible(byPath(path)); }))
        return fail("still shown");
      std::printf("ok\n");
    } else if (command == L"command") {  // ID: a menu command
      const int id = std::stoi(next());
      PostMessageW(mainWindow(), WM_COMMAND, MAKEWPARAM(id, 0), 0);
      std::printf("ok\n");
    } else if (command == L"next-tab" || command == L"previous-tab") {  // an arrow key on the tab control
      HWND tabs = byPath(L"111/1003");
      if (tabs == nullptr) return fail("no tab control");
      const WPARAM key = command == L"next-tab" ? VK_RIGHT : VK_LEFT;
      PostMessageW(tabs, WM_KEYDOWN, key, 0);
      PostMessageW(tabs, WM_KEYUP, key, 0xC0000001);
      std::printf("ok\n");
    } else if (command == L"wait-visible") {  // PATH LIMIT
      const std::wstring path = next();
      const int limit = std::stoi(next());
      if (!waitFor(limit, [&] { return byPath(path) != nullptr && IsWindowVisible(byPath(path)); }))
        return fail("not shown");
      std::printf("ok\n");
    } else if (command == L"wait-marked") {  // PATH yes|no LIMIT: the control carries the page's mark ("VelmoraMarked"), or not
      const std::wstring path = next();
      const bool marked = next() == L"yes";
      const int limit = std::stoi(next());
      if (!waitFor(limit, [&] {
            HWND control = byPath(path);
            return control != nullptr && (GetPropW(control, L"VelmoraMarked") != nullptr) == marked;
          }))
        return fail(marked ? "not marked" : "still marked");
      std::printf("ok\n");
    } else if (command == L"tooltips") {  // a line a tooltip control of the program that has tools:
      // "tools N width W initial I autopop A reshow R" (its count, maximum width and delays)
      struct Found {
        DWORD process;
        std::vector<HWND> tips;
      } found{0, {}};
      GetWindowThreadProcessId(mainWindow(), &found.process);
      EnumWindows(
          [](HWND window, LPARAM l) -> BOOL {
            auto* f = reinterpret_cast<Found*>(l);
            wchar_t name[64] = {};
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == f->process && GetClassNameW(window, name, 64) > 0 && lstrcmpiW(name, TOOLTIPS_CLASSW) == 0)
              f->tips.push_back(window);
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&found));
      for (HWND tip : found.tips) {
        const auto count = static_cast<int>(SendMessageW(tip, TTM_GETTOOLCOUNT, 0, 0));
        if (count == 0) continue;
        std::printf("tools %d width %d initial %d autopop %d reshow %d\n", count,
                    static_cast<int>(SendMessageW(tip, TTM_GETMAXTIPWIDTH, 0, 0)),
                    static_cast<int>(SendMessageW(tip, TTM_GETDELAYTIME, TTDT_INITIAL, 0)),
                    static_cast<int>(SendMessageW(tip, TTM_GETDELAYTIME, TTDT_AUTOPOP, 0)),
                    static_cast<int>(SendMessageW(tip, TTM_GETDELAYTIME, TTDT_RESHOW, 0)));
      }
    } else if (command == L"tab-rows") {  // "rows N": the rows the tab control's captions take
      HWND tabs = byPath(L"111/1003");
      if (tabs == nullptr) return fail("no tab control");
      std::printf("rows %d\n", static_cast<int>(SendMessageW(tabs, TCM_GETROWCOUNT, 0, 0)));
    } else if (command == L"ctrl-key") {  // LETTER: pressed with Ctrl in the main window
      const WORD letter = static_cast<WORD>(towupper(next()[0]));
      SetForegroundWindow(mainWindow());
      waitFor(2000, [] { return GetForegroundWindow() == mainWindow(); });
      press(VK_CONTROL, false);
      press(letter, false);
      press(letter, true);
      press(VK_CONTROL, true);
      std::printf("ok\n");
    } else if (command == L"close") {
      PostMessageW(mainWindow(), WM_CLOSE, 0, 0);
      std::printf("ok\n");
    } else if (command == L"stopwatch") {  // "ms N": milliseconds since the last stopwatch (or the start)
      const ULONGLONG now = GetTickCount64();
      std::printf("ms %llu\n", static_cast<unsigned long long>(now - lap));
      lap = now;
    } else if (command == L"sleep") {
      Sleep(static_cast<DWORD>(std::stoi(next())));
      std::printf("ok\n");
    } else {
      return fail("unknown command " + utf8(command));
    }
    std::fflush(stdout);
  }
  return 0;
}

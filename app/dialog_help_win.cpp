#include "app/dialog_help_win.h"

#include <string>

#include "app/help_table.h"
#include "app/help_text.h"
#include "base/tr_text.h"

namespace velmora {

namespace {

using help_id::kEditId;
constexpr int kHelpResource = 200;
constexpr int kEnglishHelpResource = 201;

std::string resourceBytes(int id) {
  HMODULE self = GetModuleHandleW(nullptr);
  HRSRC found = FindResourceW(self, MAKEINTRESOURCEW(id), L"TEXT");
  if (found == nullptr) return {};
  HGLOBAL loaded = LoadResource(self, found);
  const void* data = loaded != nullptr ? LockResource(loaded) : nullptr;
  const DWORD size = SizeofResource(self, found);
  if (data == nullptr || size == 0) return {};
  return std::string(static_cast<const char*>(data), size);
}

// An edit control breaks lines at "\r\n" only.
std::string withCrLf(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 32);
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\n' && (i == 0 || text[i - 1] != '\r')) out += '\r';
    out += text[i];
  }
  return out;
}

}  // namespace

DialogHelpWin::DialogHelpWin(HWND parent, int windowId, HFONT font)
    : TablePage(parent, windowId, helpPageTable(), font) {
  const int id = textLanguage() == Language::English ? kEnglishHelpResource : kHelpResource;
  winui::setEditText(control(kEditId), withCrLf(helpTextOrFallback(resourceBytes(id))), false);
}

}  // namespace velmora

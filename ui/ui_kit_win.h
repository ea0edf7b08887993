// The Win32 kit every page of velmora.exe shares: UTF-8 texts on wide
// controls, the page font, dialog units, message boxes, and TablePage, a
// child window that builds its controls from a page table and keeps them
// placed as the page grows.
#pragma once

#include <windows.h>
#include <commctrl.h>

#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "base/control_table.h"
#include "base/win_text_win.h"

namespace velmora::winui {

inline std::wstring wide(std::string_view text) { return widen(text); }
inline std::string utf8(std::wstring_view text) { return narrow(text); }

std::string windowText(HWND window);
void setWindowText(HWND window, const std::string& text);

// "宋体" 14 point for the window's screen: height −MulDiv(14, dpi, 72),
// weight 400, character set 134 (GB2312). The caller owns the font.
HFONT createPageFont(HWND reference);
// The same for a screen of dpi dots per inch (a window moved to another monitor).
HFONT createPageFontForDpi(int dpi);

// Dialog units as Windows computes them for a font: a horizontal unit is a
// quarter of the font's average character width, a vertical one an eighth
// of its height.
struct DialogUnits {
  int baseX = 8;
  int baseY = 16;
  int x(int du) const { return MulDiv(du, baseX, 4); }
  int y(int du) const { return MulDiv(du, baseY, 8); }
};
DialogUnits dialogUnitsOf(HFONT font);

// The test options can make the boxes answer by themselves (no one to
// click under a test); a box answered so is still said on standard error.
enum class BoxAnswers { Ask, Yes, No };
void setBoxAnswers(BoxAnswers answers);
// A modal box with an OK button.
void messageBox(HWND owner, const std::string& text);
// A question with Yes and No; true for Yes.
bool askYesNo(HWND owner, const std::string& text);

// Shows dialog modally over owner until done holds (or the program quits):
// the owner is disabled meanwhile, focus starts on focus, and the owner is
// back in front before the dialog hides.
void runModal(HWND owner, HWND dialog, HWND focus, const bool& done);

// The open and save dialogs, starting in the program's own folder unless told.
struct FileRequest {
  bool save = false;          // ask before overwriting; an opened file must exist
  std::string filter;         // "desc|pattern|desc|pattern||" (barSeparatedFilter makes it from Qt's form)
  std::string defaultSuffix;  // without the dot
  std::string initialName;    // proposed by a save dialog
  std::string folder;         // where the dialog starts; empty, the program's own folder
};
// The test options can make every file dialog answer path without being
// shown; empty shows them again.
void setFileAnswer(std::string path);
// The chosen path, or empty when the user cancelled.
std::string fileDialog(HWND owner, const FileRequest& request);

// How wide text is in pixels in the control's font.
int textWidth(HWND control, const std::string& text);

// Check boxes and radio buttons.
void setChecked(HWND button, bool checked);
bool isChecked(HWND button);

// Combo boxes.
void setComboItems(HWND combo, const std::vector<std::string>& items);
int comboSelection(HWND combo);
void setComboSelection(HWND combo, int index);
std::string comboItem(HWND combo, int index);
int comboCount(HWND combo);

// Report lists (list views in report mode).
void setListRows(HWND list, const std::vector<std::vector<std::string>>& rows);
void setListRowTexts(HWND list, int row, int firstColumn, const std::vector<std::string>& texts);
void selectListRow(HWND list, int row);
int selectedListRow(HWND list);

// Edits that grow: replaces the text and shows its start or its end.
void setEditText(HWND edit, const std::string& crlfText, bool showEnd);
void appendEditText(HWND edit, const std::string& crlfText);

// A child window built from a page table. Controls are children of the
// page (group boxes only frame them); every size change places them again
// from their dialog-unit rectangles and growth rules.
class TablePage {
 public:
  // windowId is the page's own control id in its parent.
  TablePage(HWND parent, int windowId, const PageTable& table, HFONT font);
  // A captioned pop-up window owned by owner (a dialog of its own).
  struct Popup {
    std::string caption;
  };
  TablePage(HWND owner, const Popup& popup, const PageTable& table, HFONT font);
  virtual ~TablePage();
  TablePage(const TablePage&) = delete;
  TablePage& operator=(const TablePage&) = delete;

  HWND handle() const { return window_; }
  HWND control(int id) const;
  const DialogUnits& units() const { return units_; }
  int templateWidth() const { return table_.width; }
  int templateHeight() const { return table_.height; }
  // A new font (another monitor's DPI): every control takes it, the dialog
  // units follow it and the controls are placed again.
  void useFont(HFONT font);

 protected:
  // A command from a control of the page (BN_CLICKED, CBN_SELCHANGE, EN_CHANGE, …).
  virtual void onCommand(int /*id*/, int /*code*/) {}
  // A notification (list views); true when handled.
  virtual bool onNotify(const NMHDR& /*header*/) { return false; }
  virtual void onResized() {}
  // Anything else sent to the page; false passes it on.
  virtual bool onMessage(UINT /*message*/, WPARAM, LPARAM, LRESULT& /*result*/) { return false; }
  const PageTable& table() const { return table_; }

 public:
  static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM w, LPARAM l);

 private:
  void build(HFONT font);
  void place();

  const PageTable& table_;
  HWND window_ = nullptr;
  DialogUnits units_;
  std::map<int, HWND> controls_;
  std::vector<std::pair<const ControlRow*, HWND>> all_;
};

// Registers the window class of the pages (once); the class name.
const wchar_t* pageClassName();

}  // namespace velmora::winui

#include "ui/ui_kit_win.h"

#include <windowsx.h>
#include <commdlg.h>

#include <algorithm>
#include <cstdio>

#include "base/tr_text.h"

namespace velmora::winui {

namespace {

BoxAnswers gBoxAnswers = BoxAnswers::Ask;
std::string gFileAnswer;

// The folder of the program's own executable.
std::wstring programFolder() {
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, path, MAX_PATH);
  std::wstring folder(path);
  const size_t slash = folder.rfind(L'\\');
  return slash == std::wstring::npos ? folder : folder.substr(0, slash);
}

// The text of a control from its table: the table's context unless the
// control names its own.
std::wstring rowText(const PageTable& table, const ControlRow& row) {
  if (row.text == nullptr) return {};
  return wide(trText(row.context != nullptr ? row.context : table.context, row.text));
}

struct ClassAndStyle {
  const wchar_t* className;
  DWORD style;
  DWORD exStyle;
};

ClassAndStyle classOf(ControlKind kind) {
  constexpr DWORD child = WS_CHILD | WS_VISIBLE;
  switch (kind) {
    case ControlKind::Label:
      return {L"STATIC", child | SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::Group:
      return {L"BUTTON", child | BS_GROUPBOX, 0};
    case ControlKind::Button:
      return {L"BUTTON", child | WS_TABSTOP | BS_PUSHBUTTON, 0};
    case ControlKind::Check:
      return {L"BUTTON", child | WS_TABSTOP | BS_AUTOCHECKBOX, 0};
    case ControlKind::RadioFirst:
      return {L"BUTTON", child | WS_TABSTOP | WS_GROUP | BS_AUTORADIOBUTTON, 0};
    case ControlKind::Radio:
      return {L"BUTTON", child | BS_AUTORADIOBUTTON, 0};
    case ControlKind::Edit:
      return {L"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL, WS_EX_CLIENTEDGE};
    case ControlKind::NumberEdit:
      return {L"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL | ES_NUMBER, WS_EX_CLIENTEDGE};
    case ControlKind::ReadOnlyEdit:
      return {L"EDIT", child | WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY, WS_EX_CLIENTEDGE};
    case ControlKind::TextView:
      return {L"EDIT", child | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_READONLY,
              WS_EX_CLIENTEDGE};
    case ControlKind::WrappedView:
      return {L"EDIT", child | WS_TABSTOP | WS_VSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_READONLY, WS_EX_CLIENTEDGE};
    case ControlKind::TextEdit:
      return {L"EDIT", child | WS_TABSTOP | WS_VSCROLL | WS_HSCROLL | ES_MULTILINE | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN,
              WS_EX_CLIENTEDGE};
    case ControlKind::DropList:
      return {L"COMBOBOX", child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST, 0};
    case ControlKind::DropEdit:
      return {L"COMBOBOX", child | WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWN | CBS_AUTOHSCROLL, 0};
    case ControlKind::ReportList:
      return {WC_LISTVIEWW, child | WS_TABSTOP | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE};
    case ControlKind::VirtualList:
      return {WC_LISTVIEWW, child | WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SHOWSELALWAYS, WS_EX_CLIENTEDGE};
    case ControlKind::SortedList:
      return {L"LISTBOX", child | WS_TABSTOP | WS_VSCROLL | LBS_SORT | LBS_NOTIFY | LBS_NOINTEGRALHEIGHT,
              WS_EX_CLIENTEDGE};
    case ControlKind::Progress:
      return {PROGRESS_CLASSW, child, 0};
    case ControlKind::Canvas:
      return {L"STATIC", child | SS_OWNERDRAW, 0};
  }
  return {L"STATIC", child, 0};
}

}  // namespace

std::string windowText(HWND window) {
  const int n = GetWindowTextLengthW(window);
  if (n <= 0) return {};
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  const int got = GetWindowTextW(window, text.data(), n + 1);
  text.resize(static_cast<size_t>(std::max(got, 0)));
  return utf8(text);
}

void setWindowText(HWND window, const std::string& text) { SetWindowTextW(window, wide(text).c_str()); }

HFONT createPageFont(HWND reference) {
  HDC dc = GetDC(reference);
  const int dpi = dc != nullptr ? GetDeviceCaps(dc, LOGPIXELSY) : 96;
  if (dc != nullptr) ReleaseDC(reference, dc);
  return createPageFontForDpi(dpi);
}

HFONT createPageFontForDpi(int dpi) {
  LOGFONTW font{};
  font.lfHeight = -MulDiv(14, dpi, 72);
  font.lfWeight = FW_NORMAL;
  font.lfCharSet = GB2312_CHARSET;
  lstrcpynW(font.lfFaceName, L"宋体", LF_FACESIZE);
  return CreateFontIndirectW(&font);
}

DialogUnits dialogUnitsOf(HFONT font) {
  DialogUnits units;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICW metrics{};
  SIZE size{};
  static const wchar_t kAlphabet[] = L"ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";
  if (GetTextMetricsW(dc, &metrics) && GetTextExtentPoint32W(dc, kAlphabet, 52, &size)) {
    units.baseX = (size.cx / 26 + 1) / 2;
    units.baseY = metrics.tmHeight;
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  return units;
}

void setBoxAnswers(BoxAnswers answers) { gBoxAnswers = answers; }

void messageBox(HWND owner, const std::string& text) {
  if (gBoxAnswers != BoxAnswers::Ask) {
    std::fprintf(stderr, "box: %s\n", text.c_str());
    std::fflush(stderr);
    return;
  }
  MessageBoxW(owner, wide(text).c_str(), L"", MB_OK);
}

bool askYesNo(HWND owner, const std::string& text) {
  if (gBoxAnswers != BoxAnswers::Ask) {
    std::fprintf(stderr, "question: %s\n", text.c_str());
    std::fflush(stderr);
    return gBoxAnswers == BoxAnswers::Yes;
  }
  return MessageBoxW(owner, wide(text).c_str(), L"", MB_YESNO | MB_ICONQUESTION) == IDYES;
}

void setFileAnswer(std::string path) { gFileAnswer = std::move(path); }

std::string fileDialog(HWND owner, const FileRequest& request) {
  if (!gFileAnswer.empty()) return gFileAnswer;
  // "desc|pattern|…||" becomes the dialog's "desc\0pattern\0…\0\0".
  std::wstring filter = wide(request.filter);
  std::replace(filter.begin(), filter.end(), L'|', L'\0');
  wchar_t path[MAX_PATH * 4] = {};
  lstrcpynW(path, wide(request.initialName).c_str(), MAX_PATH);
  const std::wstring folder = request.folder.empty() ? programFolder() : wide(request.folder);
  const std::wstring extension = wide(request.defaultSuffix);
  OPENFILENAMEW dialog{};
  dialog.lStructSize = sizeof dialog;
  dialog.hwndOwner = owner;
  dialog.lpstrFilter = filter.c_str();
  dialog.lpstrFile = path;
  dialog.nMaxFile = MAX_PATH * 4;
  dialog.lpstrInitialDir = folder.c_str();
  dialog.lpstrDefExt = extension.empty() ? nullptr : extension.c_str();
  dialog.Flags = OFN_HIDEREADONLY | OFN_EXPLORER | (request.save ? OFN_OVERWRITEPROMPT : OFN_FILEMUSTEXIST);
  const BOOL chosen = request.save ? GetSaveFileNameW(&dialog) : GetOpenFileNameW(&dialog);
  return chosen ? utf8(path) : std::string();
}

int textWidth(HWND control, const std::string& text) {
  const std::wstring w = wide(text);
  HDC dc = GetDC(control);
  HGDIOBJ old = SelectObject(dc, reinterpret_cast<HGDIOBJ>(SendMessageW(control, WM_GETFONT, 0, 0)));
  SIZE size{};
  GetTextExtentPoint32W(dc, w.c_str(), static_cast<int>(w.size()), &size);
  SelectObject(dc, old);
  ReleaseDC(control, dc);
  return size.cx;
}

void setChecked(HWND button, bool checked) {
  SendMessageW(button, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}
bool isChecked(HWND button) { return SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED; }

void setComboItems(HWND combo, const std::vector<std::string>& items) {
  SendMessageW(combo, CB_RESETCONTENT, 0, 0);
  for (const std::string& item : items) {
    const std::wstring text = wide(item);
    SendMessageW(combo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str()));
  }
}
int comboSelection(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCURSEL, 0, 0)); }
void setComboSelection(HWND combo, int index) { SendMessageW(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0); }
int comboCount(HWND combo) { return static_cast<int>(SendMessageW(combo, CB_GETCOUNT, 0, 0)); }
std::string comboItem(HWND combo, int index) {
  const LRESULT n = SendMessageW(combo, CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (n == CB_ERR) return {};
  std::wstring text(static_cast<size_t>(n) + 1, L'\0');
  SendMessageW(combo, CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(text.data()));
  text.resize(static_cast<size_t>(n));
  return utf8(text);
}

void runModal(HWND owner, HWND dialog, HWND focus, const bool& done) {
  EnableWindow(owner, FALSE);
  ShowWindow(dialog, SW_SHOW);
  SetFocus(focus);
  MSG message;
  while (!done && GetMessageW(&message, nullptr, 0, 0) > 0) {
    if (IsDialogMessageW(dialog, &message)) continue;
    TranslateMessage(&message);
    DispatchMessageW(&message);
  }
  // The owner back before the dialog goes, so it keeps the focus.
  EnableWindow(owner, TRUE);
  ShowWindow(dialog, SW_HIDE);
  SetForegroundWindow(owner);
}

void setListRows(HWND list, const std::vector<std::vector<std::string>>& rows) {
  SendMessageW(list, WM_SETREDRAW, FALSE, 0);
  ListView_DeleteAllItems(list);
  for (size_t r = 0; r < rows.size(); ++r) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = static_cast<int>(r);
    std::wstring first = rows[r].empty() ? std::wstring() : wide(rows[r][0]);
    item.pszText = first.data();
    ListView_InsertItem(list, &item);
    if (!rows[r].empty()) setListRowTexts(list, static_cast<int>(r), 1, {rows[r].begin() + 1, rows[r].end()});
  }
  SendMessageW(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void setListRowTexts(HWND list, int row, int firstColumn, const std::vector<std::string>& texts) {
  for (size_t i = 0; i < texts.size(); ++i) {
    std::wstring text = wide(texts[i]);
    ListView_SetItemText(list, row, firstColumn + static_cast<int>(i), text.data());
  }
}

void selectListRow(HWND list, int row) {
  ListView_SetItemState(list, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
  if (row < 0) return;
  ListView_SetItemState(list, row, LVIS_SELECTED | LVIS_FOCUSED, LVIS_SELECTED | LVIS_FOCUSED);
  ListView_EnsureVisible(list, row, FALSE);
}

int selectedListRow(HWND list) { return ListView_GetNextItem(list, -1, LVNI_SELECTED); }

void setEditText(HWND edit, const std::string& crlfText, bool showEnd) {
  SetWindowTextW(edit, wide(crlfText).c_str());
  const LPARAM at = showEnd ? GetWindowTextLengthW(edit) : 0;
  SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(at), at);
  SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

void appendEditText(HWND edit, const std::string& crlfText) {
  const int end = GetWindowTextLengthW(edit);
  SendMessageW(edit, EM_SETSEL, static_cast<WPARAM>(end), end);
  const std::wstring text = wide(crlfText);
  SendMessageW(edit, EM_REPLACESEL, FALSE, reinterpret_cast<LPARAM>(text.c_str()));
  SendMessageW(edit, EM_SCROLLCARET, 0, 0);
}

const wchar_t* pageClassName() {
  static const wchar_t* name = [] {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = &TablePage::procedure;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    wc.lpszClassName = L"VelmoraPage";
    RegisterClassExW(&wc);
    return L"VelmoraPage";
  }();
  return name;
}

TablePage::TablePage(HWND parent, int windowId, const PageTable& table, HFONT font) : table_(table) {
  units_ = dialogUnitsOf(font);
  window_ = CreateWindowExW(WS_EX_CONTROLPARENT, pageClassName(), L"",
                            WS_CHILD | WS_CLIPSIBLINGS, 0, 0, units_.x(table.width), units_.y(table.height), parent,
                            reinterpret_cast<HMENU>(static_cast<INT_PTR>(windowId)), GetModuleHandleW(nullptr), this);
  build(font);
}

TablePage::TablePage(HWND owner, const Popup& popup, const PageTable& table, HFONT font) : table_(table) {
  units_ = dialogUnitsOf(font);
  RECT frame{0, 0, units_.x(table.width), units_.y(table.height)};
  constexpr DWORD style = WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN;
  AdjustWindowRectEx(&frame, style, FALSE, WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT);
  RECT at{};
  GetWindowRect(owner, &at);
  window_ = CreateWindowExW(WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT, pageClassName(), wide(popup.caption).c_str(), style,
                            at.left + 60, at.top + 60, frame.right - frame.left, frame.bottom - frame.top, owner, nullptr,
                            GetModuleHandleW(nullptr), this);
  build(font);
}

TablePage::~TablePage() {
  if (window_ != nullptr) {
    SetWindowLongPtrW(window_, GWLP_USERDATA, 0);
    DestroyWindow(window_);
  }
}

HWND TablePage::control(int id) const {
  const auto it = controls_.find(id);
  return it == controls_.end() ? nullptr : it->second;
}

void TablePage::build(HFONT font) {
  for (const ControlRow& row : table_.controls) {
    const ClassAndStyle cs = classOf(row.kind);
    HWND control = CreateWindowExW(cs.exStyle, cs.className, rowText(table_, row).c_str(), cs.style,
                                   units_.x(row.x), units_.y(row.y), units_.x(row.w), units_.y(row.h), window_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(row.id)), GetModuleHandleW(nullptr),
                                   nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
    if (row.kind == ControlKind::ReportList || row.kind == ControlKind::VirtualList)
      ListView_SetExtendedListViewStyle(control, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
    if (row.kind == ControlKind::Progress) SendMessageW(control, PBM_SETRANGE32, 0, 100);
    if (row.id != 0) controls_[row.id] = control;
    all_.emplace_back(&row, control);
  }
  for (const ColumnRow& column : table_.columns) {
    HWND list = control(column.listId);
    if (list == nullptr) continue;
    std::wstring text = wide(trText(table_.context, column.text));
    LVCOLUMNW c{};
    c.mask = LVCF_TEXT | LVCF_WIDTH;
    c.pszText = text.data();
    c.cx = units_.x(column.width);
    const int at = Header_GetItemCount(ListView_GetHeader(list));
    ListView_InsertColumn(list, at, &c);
  }
}

void TablePage::useFont(HFONT font) {
  units_ = dialogUnitsOf(font);
  for (const auto& entry : all_) SendMessageW(entry.second, WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
  place();
}

void TablePage::place() {
  RECT client{};
  GetClientRect(window_, &client);
  // Beyond the template's size the growing controls take the room; below
  // it everything keeps its template place.
  const int dx = std::max(0, static_cast<int>(client.right) - units_.x(table_.width));
  const int dy = std::max(0, static_cast<int>(client.bottom) - units_.y(table_.height));
  HDWP batch = BeginDeferWindowPos(static_cast<int>(all_.size()));
  for (const auto& [row, control] : all_) {
    int x = units_.x(row->x), y = units_.y(row->y), w = units_.x(row->w), h = units_.y(row->h);
    if (row->growth & kGrowRight) w += dx;
    if (row->growth & kGrowDown) h += dy;
    if (row->growth & kMoveRight) x += dx;
    if (row->growth & kMoveDown) y += dy;
    if (batch != nullptr) batch = DeferWindowPos(batch, control, nullptr, x, y, w, h, SWP_NOZORDER | SWP_NOACTIVATE);
  }
  if (batch != nullptr) EndDeferWindowPos(batch);
}

LRESULT CALLBACK TablePage::procedure(HWND window, UINT message, WPARAM w, LPARAM l) {
  if (message == WM_NCCREATE) {
    const auto* create = reinterpret_cast<const CREATESTRUCTW*>(l);
    SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
  }
  auto* page = reinterpret_cast<TablePage*>(GetWindowLongPtrW(window, GWLP_USERDATA));
  if (page != nullptr) {
    if (page->window_ == nullptr) page->window_ = window;
    LRESULT result = 0;
    switch (message) {
      case WM_COMMAND:  // from a control, or IDOK/IDCANCEL for Enter and Escape
        page->onCommand(LOWORD(w), HIWORD(w));
        return 0;
      case WM_NOTIFY:
        if (page->onNotify(*reinterpret_cast<const NMHDR*>(l))) return 0;
        break;
      case WM_SIZE:
        page->place();
        page->onResized();
        return 0;
      case WM_CTLCOLORSTATIC:
        break;
      default:
        if (page->onMessage(message, w, l, result)) return result;
        break;
    }
  }
  return DefWindowProcW(window, message, w, l);
}

}  // namespace velmora::winui

// Shared window helpers: the modal boxes and file dialogs (replaceable by
// tests so nothing blocks on a modal loop), the page font, control ids as
// object names, and dialog-unit conversion for template positions.
#pragma once

#include <QFont>
#include <QRect>
#include <QString>

#include <functional>
#include <string>

class QWidget;

namespace velmora::ui {

// An OK box with the exact text given.
void messageBox(QWidget* parent, const QString& text);
// A Yes/No question with the question icon; true for Yes.
bool askYesNo(QWidget* parent, const QString& text);

struct FileDialogRequest {
  bool save = false;            // save dialog (ask before overwriting) or open dialog (file must exist)
  QString filter;               // Qt filter string, "desc (*.x);;desc (*.*)"
  QString defaultSuffix;        // without the dot
  QString initialName;          // file name proposed by a save dialog
  QString directory;            // start directory
};
// The chosen path, or an empty string when the user cancelled.
QString fileDialog(QWidget* parent, const FileDialogRequest& request);

using MessageBoxHook = std::function<void(const QString& text)>;
using QuestionHook = std::function<bool(const QString& text)>;
using FileDialogHook = std::function<QString(const FileDialogRequest& request)>;
// Tests install these; an empty function restores the real dialog.
void setMessageBoxHook(MessageBoxHook hook);
void setQuestionHook(QuestionHook hook);
void setFileDialogHook(FileDialogHook hook);

// The 14-point "宋体" every page asks for, falling back to an installed CJK family.
QFont pageFont();

// Makes the page font the application's, also for the windows that do not
// inherit it from a page: message boxes, the close question, menus, the file
// dialog and tooltips.
void usePageFontEverywhere();

// Gives every push button under root room around its caption: at least
// two thirds of a line's height on each side, as the style's own buttons
// have at Latin sizes. CJK captions at 14 pt otherwise get 2 to 3 pixels.
void padButtons(QWidget* root);

// Text kept with "\r\n" line ends, as a plain-text edit shows it.
QString plainTextOf(const std::string& crlfText);

// Gives a control its numeric id as objectName, so tests and the code find
// it by the same number.
void setControlId(QWidget* widget, int id);
QString controlName(int id);

// Converts a rectangle in dialog units to pixels for widgets using font,
// the way dialog templates are laid out: x/4 and y/8 of the font's average
// character width and height.
QRect dialogUnits(const QFont& font, int x, int y, int width, int height);

}  // namespace velmora::ui

#include "ui/ui_kit_qt.h"

#include <QApplication>
#include <QFileDialog>
#include <QFontMetrics>
#include <QMessageBox>
#include <QPushButton>
#include <QRegularExpression>
#include <QWidget>

#include <algorithm>

namespace velmora::ui {

namespace {
MessageBoxHook& messageHook() {
  static MessageBoxHook hook;
  return hook;
}
QuestionHook& questionHook() {
  static QuestionHook hook;
  return hook;
}
FileDialogHook& fileHook() {
  static FileDialogHook hook;
  return hook;
}
}  // namespace

void setMessageBoxHook(MessageBoxHook hook) { messageHook() = std::move(hook); }
void setQuestionHook(QuestionHook hook) { questionHook() = std::move(hook); }
void setFileDialogHook(FileDialogHook hook) { fileHook() = std::move(hook); }

void messageBox(QWidget* parent, const QString& text) {
  if (messageHook()) {
    messageHook()(text);
    return;
  }
  QMessageBox box(QMessageBox::NoIcon, QString(), text, QMessageBox::Ok, parent);
  box.exec();
}

bool askYesNo(QWidget* parent, const QString& text) {
  if (questionHook()) return questionHook()(text);
  QMessageBox box(QMessageBox::Question, QString(), text, QMessageBox::Yes | QMessageBox::No, parent);
  return box.exec() == QMessageBox::Yes;
}

QString fileDialog(QWidget* parent, const FileDialogRequest& request) {
  if (fileHook()) return fileHook()(request);
  QFileDialog dialog(parent, QString(), request.directory, request.filter);
  dialog.setAcceptMode(request.save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(request.save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setDefaultSuffix(request.defaultSuffix);
  // A name typed without an extension takes the chosen filter's ("x" under
  // the JSON filter saves x.json); "*.*" keeps the request's.
  QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog, request](const QString& filter) {
    static const QRegularExpression single(QStringLiteral("\\(\\*\\.(\\w+)\\)$"));
    const QRegularExpressionMatch match = single.match(filter);
    dialog.setDefaultSuffix(match.hasMatch() ? match.captured(1) : request.defaultSuffix);
  });
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (!request.initialName.isEmpty()) dialog.selectFile(request.initialName);
  if (dialog.exec() != QDialog::Accepted) return QString();
  const QStringList files = dialog.selectedFiles();
  return files.isEmpty() ? QString() : files.first();
}

QFont pageFont() {
  static const QFont font = [] {
    // SimSun is what the layouts were drawn for; on Linux the usual CJK
    // families stand in for it. Naming them is enough: asking the font
    // database for its family list would make fontconfig scan every font at
    // start-up, and glyphs missing from all of them still fall back per glyph.
    QFont f;
    f.setFamilies({QStringLiteral("宋体"), QStringLiteral("SimSun"), QStringLiteral("WenQuanYi Zen Hei"),
                   QStringLiteral("WenQuanYi Micro Hei"), QStringLiteral("Noto Sans CJK SC"),
                   QStringLiteral("Noto Serif CJK SC"), QStringLiteral("AR PL UMing CN"),
                   QStringLiteral("Droid Sans Fallback")});
    f.setPointSize(14);
    f.setWeight(QFont::Normal);
    return f;
  }();
  return font;
}

void usePageFontEverywhere() {
  const QFont font = pageFont();
  QApplication::setFont(font);
  // A desktop theme can give these classes fonts of their own, which the
  // application font alone would not replace.
  for (const char* cls : {"QMenu", "QMenuBar", "QMessageBox", "QTipLabel"})
    QApplication::setFont(font, cls);
}

void padButtons(QWidget* root) {
  if (root == nullptr) return;
  for (QPushButton* button : root->findChildren<QPushButton*>()) {
    const QFontMetrics metrics(button->font());
    const int room = metrics.height() * 2 / 3;
    // The widest caption the button shows ("连接" and "断开" take turns).
    const int text = metrics.horizontalAdvance(button->text().remove(QLatin1Char('&')));
    button->setMinimumWidth(std::max(button->sizeHint().width(), text + 2 * room + 4));
  }
}

QString plainTextOf(const std::string& crlfText) {
  QString s = QString::fromStdString(crlfText);
  s.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  return s;
}

QString controlName(int id) { return QString::number(id); }

void setControlId(QWidget* widget, int id) {
  if (widget) widget->setObjectName(controlName(id));
}

QRect dialogUnits(const QFont& font, int x, int y, int width, int height) {
  const QFontMetrics metrics(font);
  // Average width of the Latin alphabet, as the dialog manager measures it.
  const int baseX = (metrics.horizontalAdvance(QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz")) / 26 + 1) / 2;
  const int baseY = metrics.height();
  return QRect(x * baseX / 4, y * baseY / 8, width * baseX / 4, height * baseY / 8);
}

}  // namespace velmora::ui

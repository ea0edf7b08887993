#include "app/dialog_help.h"

#include <QCoreApplication>
#include <QFile>
#include <QLabel>
#include <QPlainTextEdit>

#include "app/help_text.h"
#include "base/tr_text.h"
#include "ui/ui_kit_qt.h"

// Resources of a static library must be pulled in by name, from the global namespace.
static void initVelmoraResources() { Q_INIT_RESOURCE(velmora); }

namespace velmora {

const char* const DialogHelp::kResourcePath = ":/TEXT/200";
const char* const DialogHelp::kEnglishResourcePath = ":/TEXT/200_en";

QString DialogHelp::resourcePathForLanguage() {
  return QString::fromLatin1(textLanguage() == Language::English ? kEnglishResourcePath : kResourcePath);
}

QString DialogHelp::loadHelpText(const QString& resourcePath) {
  initVelmoraResources();
  QFile file(resourcePath);
  std::string bytes;
  if (file.open(QIODevice::ReadOnly)) bytes = file.readAll().toStdString();
  return QString::fromUtf8(helpTextOrFallback(bytes));
}

DialogHelp::DialogHelp(QWidget* parent, const QString& resourcePath) : QWidget(parent) {
  setFont(ui::pageFont());
  heading_ = new QLabel(QCoreApplication::translate("DialogHelp", "软件操作帮助"), this);
  const QRect headingRect = ui::dialogUnits(font(), 13, 9, 100, 8);
  heading_->move(headingRect.topLeft());
  heading_->adjustSize();
  edit_ = new QPlainTextEdit(this);
  ui::setControlId(edit_, kEditId);
  edit_->setReadOnly(true);
  edit_->setGeometry(ui::dialogUnits(font(), 10, 24, 268, 181));
  edit_->setPlainText(loadHelpText(resourcePath));
}

QString DialogHelp::text() const { return edit_->toPlainText(); }

void DialogHelp::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  edit_->setGeometry(10, 60, width() - 20, height() - 70);
}


}  // namespace velmora

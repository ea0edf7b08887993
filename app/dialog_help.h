// The "帮助" page: read-only help text carried in the program's resources.
#pragma once

#include <QString>
#include <QWidget>

class QLabel;
class QPlainTextEdit;

namespace velmora {

class DialogHelp : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kEditId = 1041;
  // Where the help text lives among the program's resources: the Chinese
  // text, and the English one shown when the program runs in English.
  static const char* const kResourcePath;
  static const char* const kEnglishResourcePath;
  // The one of the two for the program's language.
  static QString resourcePathForLanguage();

  explicit DialogHelp(QWidget* parent = nullptr, const QString& resourcePath = resourcePathForLanguage());

  // The text of the resource, or the failure text when it is missing or empty.
  static QString loadHelpText(const QString& resourcePath);
  QString text() const;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  QLabel* heading_ = nullptr;
  QPlainTextEdit* edit_ = nullptr;
};

}  // namespace velmora

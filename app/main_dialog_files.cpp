// The 文件 menu: New, Open and Save of .vmc files, which hold the image's
// bytes and nothing else, and of .json files, which hold it as a document.
// Save goes by the name; Open also knows a document by its first byte, as
// velmora-cli does.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include "app/file_commands.h"
#include "app/main_dialog.h"
#include "app/tab_manager.h"
#include "base/text.h"
#include "base/tr_text.h"
#include "config/image_file_qt.h"
#include "config/image_json.h"
#include "config/image_rules.h"
#include "ui/language_qt.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

ui::FileDialogRequest MainDialog::configFileRequest(bool save) const {
  ui::FileDialogRequest request;
  request.save = save;
  request.filter = QString::fromStdString(fileDialogFilter(trText("ImageRules", kConfigFileFilterWithJson)));
  request.defaultSuffix = QString::fromLatin1(kConfigFileExtension);
  request.initialName = save ? QString::fromLatin1(kConfigFileDefaultName) : QString();
  request.directory = fileDialogFolder();
  return request;
}

QString MainDialog::fileDialogFolder() const {
  if (!lastFileFolder_.isEmpty()) return lastFileFolder_;
  // A portable copy keeps its files beside it; an installed one (/usr/bin)
  // cannot, and a save dialog there would refuse the first Enter.
  const QString program = programFolder_.isEmpty() ? QCoreApplication::applicationDirPath() : programFolder_;
  const QFileInfo info(program);
  if (info.isDir() && info.isWritable()) return program;
  return QDir::homePath();
}

void MainDialog::rememberFileFolder(const QString& path) { lastFileFolder_ = QFileInfo(path).absolutePath(); }

void MainDialog::newImage() { image_.newImage(); }

void MainDialog::openFile() {
  const QString path = ui::fileDialog(this, configFileRequest(false));
  if (path.isEmpty()) return;
  rememberFileFolder(path);
  openConfigFile(path);
}

void MainDialog::restoreBackup() {
  ui::FileDialogRequest request = configFileRequest(false);
  if (const std::string backups = backupStartFolder(); !backups.empty()) request.directory = QString::fromStdString(backups);
  const QString path = ui::fileDialog(this, request);
  if (path.isEmpty() || !openConfigFile(path)) return;
  logMessage(backupLoadedLine());
  compareWithDevice();
}

bool MainDialog::openConfigFile(const QString& path) {
  const std::string shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString();
  return velmora::openConfigFile(*this, path.toStdString(), shown, *this, [this](const std::string& text) {
    ui::messageBox(this, QString::fromStdString(text));
  });
}

void MainDialog::saveFile() {
  const auto box = [this](const std::string& text) { ui::messageBox(this, QString::fromStdString(text)); };
  if (!prepareSave(*this, box)) return;
  const QString path = ui::fileDialog(this, configFileRequest(true));
  if (path.isEmpty()) return;
  rememberFileFolder(path);
  saveConfigFile(*this, path.toStdString(), QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString(),
                 *this, box);
}

}  // namespace velmora

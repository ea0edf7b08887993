// The 文件 menu: New, Open and Save of .vmc files, which hold the image's
// bytes and nothing else, and of .json files, which hold it as a document.
// Save goes by the name; Open also knows a document by its first byte, as
// velmora-cli does.
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

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

void MainDialog::newImage() {
  configImage_.clear();
  if (tabHost_ != nullptr) {
    const uint8_t zero = 0;
    for (int slot = 0; slot < TabManager::kSlotCount; ++slot)
      if (auto* page = dynamic_cast<DialogChildBase*>(tabHost_->page(slot))) page->loadFromImage(&zero, 0);
  }
  logMessage(trText("MainDialog", "新建：清空数据"));
}

void MainDialog::openFile() {
  const QString path = ui::fileDialog(this, configFileRequest(false));
  if (path.isEmpty()) return;
  rememberFileFolder(path);
  openConfigFile(path);
}

void MainDialog::restoreBackup() {
  ui::FileDialogRequest request = configFileRequest(false);
  const QString backups = QString::fromStdString(backupFolder({}));
  if (QFileInfo(backups).isDir()) request.directory = backups;
  const QString path = ui::fileDialog(this, request);
  if (path.isEmpty() || !openConfigFile(path)) return;
  logMessage(trText("MainDialog", "已载入备份，与设备比较后可点击“下发配置”写回设备"));
  compareWithDevice();
}

bool MainDialog::openConfigFile(const QString& path) {
  ImageFileRead file = readImageFile(path.toStdString());
  if (file.error == kOpenFileEmpty) {
    logMessage(trText("ImageRules", kOpenFileEmpty));
    return false;
  }
  if (!file.ok()) {
    ui::messageBox(this, ui::trQ("ImageRules", kOpenFileFailed));
    return false;
  }
  const std::string shown = QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString();
  const size_t fileBytes = file.bytes.size();
  const ImageJsonImport document = loadConfigurationBytes(path.toStdString(), std::move(file.bytes));
  if (!document.ok) {
    logMessage(strprintf("%s: %s", trText("ImageRules", kOpenFileFailed), shown.c_str()));
    logMessage(
        strprintf(trText("MainDialog", "JSON 内容有误: %s: %s"), document.path.c_str(), document.reason.c_str()));
    ui::messageBox(this, ui::trQ("ImageRules", kOpenFileFailed));
    return false;
  }
  // A document without units is as empty as an empty .vmc.
  if (document.image.empty()) {
    logMessage(trText("ImageRules", kOpenFileEmpty));
    return false;
  }
  loadImage(document.image.data(), static_cast<int32_t>(document.image.size()));
  logMessage(strprintf(trText("MainDialog", "打开文件: %s (%llu 字节)"), shown.c_str(),
                       static_cast<unsigned long long>(fileBytes)));
  return true;
}

void MainDialog::saveFile() {
  gatherCurrentPage();
  if (configImage_.empty()) {
    ui::messageBox(this, QCoreApplication::translate("MainDialog", "没有要保存的数据"));
    return;
  }
  const QString path = ui::fileDialog(this, configFileRequest(true));
  if (path.isEmpty()) return;
  rememberFileFolder(path);

  // A failed save never destroys the previous file.
  std::string why;
  const bool json = isJsonConfigPath(path.toStdString());
  const std::string document = json ? exportImageJson(configImage_) : std::string();
  const bool written =
      json ? writeTextFile(path.toStdString(), document, why) : writeImageFile(path.toStdString(), configImage_, why);
  if (!written) {
    logMessage(strprintf("%s: %s", trText("ImageRules", kSaveFileFailed),
                         QDir::toNativeSeparators(path).toStdString().c_str()));
    if (!why.empty()) logMessage(strprintf(trText("MainDialog", "原因: %s"), why.c_str()));
    ui::messageBox(this, ui::trQ("ImageRules", kSaveFileFailed));
    return;
  }
  logMessage(strprintf(trText("MainDialog", "保存文件: %s (%d 字节)"),
                       QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString().c_str(),
                       static_cast<int>(json ? document.size() : configImage_.size())));
}

}  // namespace velmora

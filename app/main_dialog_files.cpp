// The 文件 menu: New, Open and Save of .vmc files, which hold the image's
// bytes and nothing else.
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include "app/main_dialog.h"
#include "app/tab_manager.h"
#include "base/text.h"
#include "config/image_rules.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

ui::FileDialogRequest MainDialog::configFileRequest(bool save) const {
  ui::FileDialogRequest request;
  request.save = save;
  request.filter = QString::fromStdString(fileDialogFilter(kConfigFileFilter));
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
  logMessage("新建：清空数据");
}

void MainDialog::openFile() {
  const QString path = ui::fileDialog(this, configFileRequest(false));
  if (path.isEmpty()) return;
  rememberFileFolder(path);

  // Only regular files: a directory or a device would open but not read sensibly.
  QFile file(path);
  if (!QFileInfo(path).isFile() || !file.open(QIODevice::ReadOnly)) {
    ui::messageBox(this, QStringLiteral("打开文件失败"));
    return;
  }
  const qint64 size = file.size();
  if (size == 0) {
    file.close();
    logMessage("打开文件为空");
    return;
  }
  if (size > kMaxOpenFileBytes) {
    ui::messageBox(this, QStringLiteral("打开文件失败"));
    return;
  }
  const QByteArray bytes = file.read(size);
  // A short or failed read must not replace the image with a torso of the file.
  if (bytes.size() != size || file.error() != QFileDevice::NoError) {
    ui::messageBox(this, QStringLiteral("打开文件失败"));
    return;
  }
  file.close();
  loadImage(reinterpret_cast<const uint8_t*>(bytes.constData()), static_cast<int32_t>(bytes.size()));
  logMessage(strprintf("打开文件: %s (%llu 字节)", QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString().c_str(),
                       static_cast<unsigned long long>(size)));
}

void MainDialog::saveFile() {
  gatherCurrentPage();
  if (configImage_.empty()) {
    ui::messageBox(this, QStringLiteral("没有要保存的数据"));
    return;
  }
  const QString path = ui::fileDialog(this, configFileRequest(true));
  if (path.isEmpty()) return;
  rememberFileFolder(path);

  // Written beside the target and renamed over it only when complete, so a
  // failed save never destroys the previous file.
  // Unbuffered, so a short write shows here: a buffered QSaveFile can lose a
  // failed flush and commit a truncated file.
  QSaveFile file(path);
  if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered)) {
    ui::messageBox(this, QStringLiteral("保存文件失败"));
    return;
  }
  const qint64 size = static_cast<qint64>(configImage_.size());
  const qint64 written = file.write(reinterpret_cast<const char*>(configImage_.data()), size);
  if (written != size || file.error() != QFileDevice::NoError) {
    file.cancelWriting();
    ui::messageBox(this, QStringLiteral("保存文件失败"));
    return;
  }
  if (!file.commit()) {
    ui::messageBox(this, QStringLiteral("保存文件失败"));
    return;
  }
  logMessage(strprintf("保存文件: %s (%d 字节)", QDir::toNativeSeparators(QFileInfo(path).absoluteFilePath()).toStdString().c_str(),
                       static_cast<int>(size)));
}

}  // namespace velmora

// The 编辑 menu's comparison with the device: a read into a copy of its own,
// then the differences setting by setting, and the choice of taking the
// device's configuration into the pages.
#include <QMetaObject>

#include "app/dialog_compare.h"
#include "app/main_dialog.h"
#include "base/text.h"
#include "base/tr_text.h"
#include "config/image_diff.h"
#include "protocol/dialog_configuration.h"

namespace velmora {

void MainDialog::compareWithDevice() {
  if (transferPanel_ == nullptr) return;
  deviceCopy_.forget();
  comparing_ = true;
  // A refusal reports itself as the end of this read at once.
  transferPanel_->engine().startRead(&deviceCopy_);
}

void MainDialog::onTransferEnded(const TransferOutcome& outcome) {
  showHeldViews();
  if (outcome.kind != TransferKind::Read || !comparing_) return;
  comparing_ = false;
  // Nothing arrived when the read failed (its log says why) or when the read
  // button restarted it as a plain read into the pages.
  if (!deviceCopy_.arrived()) return;
  // After the engine has finished with the answer that ended the read.
  QMetaObject::invokeMethod(this, &MainDialog::showComparison, Qt::QueuedConnection);
}

void MainDialog::showComparison() {
  if (!deviceCopy_.arrived()) return;
  const std::vector<uint8_t> device = deviceCopy_.configImage();
  deviceCopy_.forget();
  gatherCurrentPage();  // what the page on show holds counts, as for Save
  const std::vector<std::string> lines = diffLines(diffImages(configImage(), device), diffLanguageOfWindow());
  QStringList shown;
  for (const std::string& line : lines) shown << QString::fromStdString(line);
  logMessage(lines.empty() ? std::string(trText("MainDialog", "与设备比较：配置一致"))
                           : strprintf(trText("MainDialog", "与设备比较：%d 处不同"), static_cast<int>(lines.size())));

  auto* dialog = new DialogCompare(this, shown);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &DialogCompare::loadRequested, this, [this, device] {
    loadImage(device.data(), static_cast<int32_t>(device.size()));
    logMessage(strprintf(trText("MainDialog", "已载入设备配置 (%d 字节)"), static_cast<int>(device.size())));
  });
  dialog->open();
}

}  // namespace velmora

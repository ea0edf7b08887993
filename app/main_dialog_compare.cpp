// The 编辑 menu's comparison with the device, shown: the logic reads into a
// copy of its own and lists the differences; this puts them in a dialog.
#include <QMetaObject>

#include "app/dialog_compare.h"
#include "app/main_dialog.h"
#include "protocol/dialog_configuration.h"

namespace velmora {

void MainDialog::compareWithDevice() {
  if (transferPanel_ == nullptr) return;
  // A refusal reports itself as the end of this read at once.
  transferPanel_->engine().startRead(&comparison_.begin());
}

void MainDialog::onTransferEnded(const TransferOutcome& outcome) {
  showHeldViews();
  if (outcome.kind != TransferKind::Read || !comparison_.readEnded()) return;
  // After the engine has finished with the answer that ended the read.
  QMetaObject::invokeMethod(this, &MainDialog::showComparison, Qt::QueuedConnection);
}

void MainDialog::showComparison() {
  const std::optional<DeviceComparison::Result> result = comparison_.take(*this);
  if (!result) return;
  logMessage(result->logLine);
  QStringList shown;
  for (const std::string& line : result->lines) shown << QString::fromStdString(line);
  auto* dialog = new DialogCompare(this, shown);
  dialog->setAttribute(Qt::WA_DeleteOnClose);
  connect(dialog, &DialogCompare::loadRequested, this,
          [this, device = result->device] { DeviceComparison::loadDevice(*this, *this, device); });
  dialog->open();
}

}  // namespace velmora

#include "link/dialog_scan.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/link_events_qt.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

DialogScan::DialogScan(QWidget* parent, QString targetHost, quint16 targetPort)
    : QDialog(parent), targetHost_(std::move(targetHost)), targetPort_(targetPort) {
  setWindowTitle(QStringLiteral("扫描设备"));
  setFont(ui::pageFont());

  list_ = new QListWidget;
  ui::setControlId(list_, scan_id::kDeviceList);
  // Sorted by text, so addresses appear in text order, not arrival order.
  list_->setSortingEnabled(true);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  scanButton_ = new QPushButton(QStringLiteral("扫描"));
  ui::setControlId(scanButton_, scan_id::kScanButton);
  auto* ok = new QPushButton(QStringLiteral("确定"));
  ui::setControlId(ok, scan_id::kOkButton);
  ok->setDefault(true);
  connect(scanButton_, &QPushButton::clicked, this, [this] { sendProbe(); });
  connect(ok, &QPushButton::clicked, this, &QDialog::accept);

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(scanButton_);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QStringLiteral("扫描到的设备:")));
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  resize(320, 360);

  // A socket that cannot be set up leaves an empty list and nothing more.
  if (socket_.open(this)) sendProbe();
}

DialogScan::~DialogScan() { socket_.Close(); }

void DialogScan::sendProbe() {
  found_.clear();
  list_->clear();
  if (!socket_.isOpen()) return;
  const QHostAddress target(targetHost_);
  if (target.isNull()) return;
  socket_.sendTo(kScanProbe.data(), static_cast<int32_t>(kScanProbe.size()), target, targetPort_);
}

void DialogScan::customEvent(QEvent* event) {
  if (event->type() == ScanReplyEvent::kType) {
    const auto* e = static_cast<ScanReplyEvent*>(event);
    onReply(e->block.data(), static_cast<int32_t>(e->block.size()));
    return;
  }
  QDialog::customEvent(event);
}

void DialogScan::onReply(const uint8_t* block, int32_t size) {
  const std::optional<std::string> entry = scanReplyEntry(block, size);
  if (!entry || !found_.add(*entry)) return;
  list_->addItem(QString::fromStdString(*entry));
  if (list_->count() == 1) list_->setCurrentRow(0);
}

}  // namespace velmora

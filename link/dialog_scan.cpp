#include "link/dialog_scan.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "link/link_events_qt.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

namespace {

// The entry's address travels as item data, apart from what the list shows.
constexpr int kAddressRole = Qt::UserRole;

}  // namespace

DialogScan::DialogScan(QWidget* parent, QString targetHost, quint16 targetPort, InterfaceSource interfaces)
    : QDialog(parent),
      targetHost_(std::move(targetHost)),
      targetPort_(targetPort),
      interfaces_(interfaces ? std::move(interfaces) : InterfaceSource(systemInterfaces)) {
  setWindowTitle(QCoreApplication::translate("DialogScan", "扫描设备"));
  setFont(ui::pageFont());

  list_ = new QListWidget;
  ui::setControlId(list_, scan_id::kDeviceList);
  // Sorted by text, so addresses appear in text order, not arrival order.
  list_->setSortingEnabled(true);
  list_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  list_->setSelectionMode(QAbstractItemView::SingleSelection);
  scanButton_ = new QPushButton(QCoreApplication::translate("DialogScan", "扫描"));
  ui::setControlId(scanButton_, scan_id::kScanButton);
  auto* ok = new QPushButton(QCoreApplication::translate("DialogScan", "确定"));
  ui::setControlId(ok, scan_id::kOkButton);
  ok->setDefault(true);
  connect(scanButton_, &QPushButton::clicked, this, [this] { sendProbe(); });
  connect(ok, &QPushButton::clicked, this, [this] {
    const QList<QListWidgetItem*> selected = list_->selectedItems();
    choose(selected.size() == 1 ? selected.front() : nullptr);
  });
  connect(list_, &QListWidget::itemDoubleClicked, this, [this](QListWidgetItem* item) { choose(item); });

  auto* buttons = new QHBoxLayout;
  buttons->addWidget(scanButton_);
  buttons->addStretch(1);
  buttons->addWidget(ok);
  auto* layout = new QVBoxLayout(this);
  layout->addWidget(new QLabel(QCoreApplication::translate("DialogScan", "扫描到的设备:")));
  layout->addWidget(list_, 1);
  layout->addLayout(buttons);
  ui::padButtons(this);
  resize(320, 360);

  // A socket that cannot be set up leaves an empty list and nothing more.
  if (socket_.open(this)) sendProbe();
}

DialogScan::~DialogScan() { socket_.Close(); }

void DialogScan::sendProbe() {
  found_.clear();
  list_->clear();
  destinations_.clear();
  if (!socket_.isOpen()) return;
  // One socket for every destination, so all replies land in this list.
  destinations_ = scanDestinations(targetHost_.toStdString(), interfaces_);
  for (const std::string& d : destinations_) {
    const QHostAddress target(QString::fromStdString(d));
    if (target.isNull()) continue;
    // A destination without a route fails alone; the others still go out.
    socket_.sendTo(kScanProbe.data(), static_cast<int32_t>(kScanProbe.size()), target, targetPort_);
  }
}

void DialogScan::choose(const QListWidgetItem* item) {
  if (item != nullptr) chosen_ = item->data(kAddressRole).toString();
  // Closed first, so whatever the receiver shows is not hidden behind the list.
  accept();
  if (chosen_) emit deviceChosen(*chosen_);
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
  auto* item = new QListWidgetItem(QString::fromStdString(*entry));
  item->setData(kAddressRole, QString::fromStdString(*entry));
  list_->addItem(item);
  if (list_->count() == 1) list_->setCurrentRow(0);
}

}  // namespace velmora

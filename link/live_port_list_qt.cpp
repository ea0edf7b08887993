#include "link/live_port_list_qt.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QSocketNotifier>
#include <QTimer>

#include <cstdlib>

#include "base/clock.h"

namespace velmora {

namespace {

// udev makes a node, then sets its group and mode, then makes the links: one
// look after the burst instead of one per step. Short, so that a port that
// vanishes a second after it appeared is still seen.
constexpr int kSettleMs = 50;

QString qs(const std::string& text) { return QString::fromStdString(text); }

QString usbTip(const SerialPortInfo& p) {
  if (p.usbVendorId.empty()) return {};
  QStringList parts{qs(p.usbVendorId + ":" + p.usbProductId)};
  for (const std::string* s : {&p.manufacturer, &p.product, &p.usbSerial})
    if (!s->empty()) parts << qs(*s);
  return parts.join(QLatin1Char(' '));
}

}  // namespace

LivePortList::LivePortList(QComboBox* box, LogSink* log)
    : box_(box), log_(log), settle_(std::make_unique<QTimer>()) {
  // A long link name must not widen the page; the popup shows it whole, or
  // cut in the middle so the node's name at the end stays.
  box_->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
  box_->view()->setTextElideMode(Qt::ElideMiddle);
  settle_->setSingleShot(true);
  settle_->setInterval(kSettleMs);
  QObject::connect(settle_.get(), &QTimer::timeout, box_, [this] { changed(); });
  // The page's start fills the box through its refresh.
  arm(portFoldersFrom(std::getenv("VELMORA_SERIAL_DIRS")));
}

LivePortList::~LivePortList() = default;

void LivePortList::watch(std::vector<std::string> folders) {
  arm(std::move(folders));
  // Other folders, another list: shown as after a refresh, nothing marked gone.
  list_.update(search_(), steadyUs());
  fill(list_.showFirst());
}

void LivePortList::arm(std::vector<std::string> folders) {
  notifier_.reset();
  search_.system = makeSerialPortSystem(folders);
  if (folderWatch_.watch(folders)) {
    notifier_ = std::make_unique<QSocketNotifier>(folderWatch_.descriptor(), QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, box_, [this] {
      if (folderWatch_.drain() && !settle_->isActive()) settle_->start();
    });
  }
}

std::vector<std::string> LivePortList::scan() {
  list_.update(search_(), steadyUs());
  return list_.paths();
}

void LivePortList::showRefreshed(const std::vector<std::string>& paths) {
  fill(list_.showRefreshed(paths, steadyUs()));
}

void LivePortList::changed() {
  const PortList::Followed followed = list_.follow(box_->currentText().toStdString(), search_(), steadyUs());
  fill(followed.shown);
  if (log_ == nullptr) return;
  for (const std::string& line : followed.logLines) log_->logMessage(line);
}

void LivePortList::fill(const PortList::Shown& shown) {
  QStringList labels;
  for (const std::string& l : shown.labels) labels << qs(l);
  QStringList now;
  for (int i = 0; i < box_->count(); ++i) now << box_->itemText(i);
  const QString text = shown.selected >= 0 ? labels[shown.selected] : qs(shown.typed);
  // Nothing changed for the user: the box is left alone (a text being typed
  // keeps its cursor).
  if (labels == now && box_->currentIndex() == shown.selected && box_->currentText() == text) return;
  const int cursor = box_->lineEdit() != nullptr ? box_->lineEdit()->cursorPosition() : 0;
  box_->clear();
  box_->addItems(labels);
  const std::vector<SerialPortInfo>& ports = list_.ports();
  for (int i = 0; i < box_->count(); ++i) {
    if (static_cast<size_t>(i) < ports.size()) {
      box_->setItemData(i, usbTip(ports[static_cast<size_t>(i)]), Qt::ToolTipRole);
    } else {
      box_->setItemData(i, box_->palette().color(QPalette::Disabled, QPalette::Text), Qt::ForegroundRole);
    }
  }
  box_->setCurrentIndex(shown.selected);
  if (shown.selected < 0) {
    box_->setEditText(text);
    if (box_->lineEdit() != nullptr) box_->lineEdit()->setCursorPosition(cursor);
  } else if (static_cast<size_t>(shown.selected) >= ports.size() && box_->lineEdit() != nullptr) {
    // A gone port's mark is at the end of its text: shown even in a narrow box.
    box_->lineEdit()->end(false);
  }
}

}  // namespace velmora

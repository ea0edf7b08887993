#include "diag/dialog_monitor.h"

#include <QAbstractTableModel>
#include <QCoreApplication>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollBar>
#include <QTableView>

#include "base/tr_text.h"
#include "config/image_file_qt.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

QString saveOfferWithDialog(QWidget* parent, const SaveOffer& offer) {
  SaveSteps steps;
  steps.askPath = [parent](const SaveOffer& o) {
    ui::FileDialogRequest request;
    request.save = true;
    request.filter = QString::fromStdString(o.filter);
    request.defaultSuffix = QString::fromStdString(o.suffix);
    request.initialName = QString::fromStdString(o.initialName);
    return ui::fileDialog(parent, request).toStdString();
  };
  steps.write = writeTextFile;
  steps.box = [parent](const std::string& text) { ui::messageBox(parent, QString::fromStdString(text)); };
  return QString::fromStdString(saveOffered(offer, steps));
}

// The table's rows are the log's; the model is told how far the log moved
// (rows dropped at the front, rows added at the back) at each batch.
class MonitorModel final : public QAbstractTableModel {
 public:
  explicit MonitorModel(const MonitorLog& log, QObject* parent) : QAbstractTableModel(parent), log_(log) {}

  int rowCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : shown_; }
  int columnCount(const QModelIndex& parent) const override { return parent.isValid() ? 0 : 4; }
  QVariant data(const QModelIndex& index, int role) const override {
    if (role != Qt::DisplayRole || !index.isValid() || index.row() >= shown_) return {};
    const MonitorRow& r = log_.row(static_cast<size_t>(index.row()));
    switch (index.column()) {
      case 0: return QString::fromStdString(MonitorLog::timeText(r));
      case 1: return QString::fromUtf8(MonitorLog::directionText(r.direction));
      case 2: return QString::fromStdString(MonitorLog::hexText(r));
      default: return QString::fromStdString(MonitorLog::meaningText(r));
    }
  }
  QVariant headerData(int section, Qt::Orientation orientation, int role) const override {
    static const char* const kHeaders[] = {
        VELMORA_TR_NOOP("DialogMonitor", "时间 (ms)"), VELMORA_TR_NOOP("DialogMonitor", "方向"),
        VELMORA_TR_NOOP("DialogMonitor", "报文"), VELMORA_TR_NOOP("DialogMonitor", "含义")};
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal || section < 0 || section > 3) return {};
    return QCoreApplication::translate("DialogMonitor", kHeaders[section]);
  }

  // Brings the view up to the log.
  void sync() {
    const uint64_t gone = log_.droppedFront() - droppedSeen_;
    if (gone > 0) {
      const int drop = static_cast<int>(std::min<uint64_t>(gone, static_cast<uint64_t>(shown_)));
      if (drop > 0) {
        beginRemoveRows({}, 0, drop - 1);
        shown_ -= drop;
        endRemoveRows();
      }
      droppedSeen_ = log_.droppedFront();
    }
    const int now = static_cast<int>(log_.size());
    if (now > shown_) {
      beginInsertRows({}, shown_, now - 1);
      shown_ = now;
      endInsertRows();
    }
  }
  void reset() {
    beginResetModel();
    shown_ = static_cast<int>(log_.size());
    droppedSeen_ = log_.droppedFront();
    endResetModel();
  }

 private:
  const MonitorLog& log_;
  int shown_ = 0;
  uint64_t droppedSeen_ = 0;
};

DialogMonitor::DialogMonitor(QWidget* parent) : QWidget(parent) {
  setFont(ui::pageFont());
  model_ = new MonitorModel(log_, this);
  table_ = new QTableView(this);
  ui::setControlId(table_, kTableId);
  table_->setModel(model_);
  table_->setSelectionBehavior(QAbstractItemView::SelectRows);
  table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
  table_->setWordWrap(false);
  table_->verticalHeader()->hide();
  // Fixed row heights: the table never measures 10,000 rows.
  table_->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 4);
  // The meaning whole; the bytes take what is left and elide.
  const QFontMetrics m(font());
  table_->setColumnWidth(0, m.horizontalAdvance(QStringLiteral("000000.000")) + 12);
  table_->setColumnWidth(1, m.horizontalAdvance(QCoreApplication::translate("DialogMonitor", "方向")) + 16);
  table_->setColumnWidth(
      3, m.horizontalAdvance(QCoreApplication::translate("DialogMonitor", "写入数据包：包 00/42，50 字节")) + 16);
  table_->horizontalHeader()->setStretchLastSection(false);
  table_->horizontalHeader()->setSectionResizeMode(2, QHeaderView::Stretch);

  pause_ = new QPushButton(QCoreApplication::translate("DialogMonitor", "暂停"), this);
  clear_ = new QPushButton(QCoreApplication::translate("DialogMonitor", "清空"), this);
  save_ = new QPushButton(QCoreApplication::translate("DialogMonitor", "保存..."), this);
  saveCapture_ = new QPushButton(QCoreApplication::translate("DialogMonitor", "保存抓包..."), this);
  ui::setControlId(saveCapture_, kSaveCaptureButtonId);
  connect(saveCapture_, &QPushButton::clicked, this, &DialogMonitor::saveCapture);
  ui::setControlId(pause_, kPauseButtonId);
  ui::setControlId(clear_, kClearButtonId);
  ui::setControlId(save_, kSaveButtonId);
  connect(pause_, &QPushButton::clicked, this, &DialogMonitor::togglePause);
  connect(clear_, &QPushButton::clicked, this, &DialogMonitor::clearRows);
  connect(save_, &QPushButton::clicked, this, &DialogMonitor::save);

  batch_.setSingleShot(true);
  batch_.setInterval(MonitorLog::kBatchMs);
  connect(&batch_, &QTimer::timeout, this, &DialogMonitor::flush);
}

DialogMonitor::~DialogMonitor() = default;

void DialogMonitor::onFrame(FrameDirection direction, uint64_t timeUs, const uint8_t* bytes, int32_t length,
                            const FrameInfo& info) {
  if (paused_) return;
  log_.add(direction, timeUs, bytes, length, info);
  if (!batch_.isActive()) batch_.start();
}

void DialogMonitor::flush() {
  batch_.stop();
  // Follow the newest row only when the user has not scrolled up.
  QScrollBar* bar = table_->verticalScrollBar();
  const bool atEnd = bar->value() >= bar->maximum();
  model_->sync();
  if (atEnd) table_->scrollToBottom();
}

void DialogMonitor::togglePause() {
  paused_ = !paused_;
  pause_->setText(paused_ ? QCoreApplication::translate("DialogMonitor", "继续")
                          : QCoreApplication::translate("DialogMonitor", "暂停"));
}

void DialogMonitor::clearRows() {
  batch_.stop();
  log_.clear();
  model_->reset();
}

void DialogMonitor::save() {
  flush();
  saveOfferWithDialog(this, monitorTextOffer(log_));
}

void DialogMonitor::saveCapture() {
  flush();
  saveOfferWithDialog(this, monitorCaptureOffer(log_));
}

QSize DialogMonitor::minimumSizeHint() const {
  // The four buttons side by side and a few rows of the table.
  auto sizeOf = [](const QPushButton* button) { return button->sizeHint().expandedTo(button->minimumSize()); };
  const int buttons =
      sizeOf(pause_).width() + sizeOf(clear_).width() + sizeOf(save_).width() + sizeOf(saveCapture_).width() + 50;
  return {buttons, sizeOf(pause_).height() + 20 + 5 * (table_->fontMetrics().height() + 4)};
}

void DialogMonitor::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  // padButtons widens the buttons after they are made: their minimum counts.
  auto sizeOf = [](const QPushButton* button) { return button->sizeHint().expandedTo(button->minimumSize()); };
  const QSize b = sizeOf(pause_);
  int x = 10;
  for (QPushButton* button : {pause_, clear_, save_, saveCapture_}) {
    const int w = std::max(b.width(), sizeOf(button).width());
    button->setGeometry(x, 10, w, b.height());
    x += w + 10;
  }
  table_->setGeometry(10, 20 + b.height(), width() - 20, height() - 30 - b.height());
}

}  // namespace velmora

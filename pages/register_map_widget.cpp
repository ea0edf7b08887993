#include "pages/register_map_widget.h"

#include <QPainter>

#include <algorithm>

#include "ui/language_qt.h"

namespace velmora {

namespace {
// One colour per row, told apart also by those who mix up red and green;
// red itself is kept for the overlaps.
const QColor kRowColours[kRegisterRows] = {QColor(0x3b, 0x7d, 0xd8), QColor(0x2a, 0x9d, 0x8f), QColor(0xe0, 0x8a, 0x1e),
                                           QColor(0x8e, 0x5c, 0xc4)};
const QColor kOverlapColour(0xd6, 0x27, 0x28);
constexpr int kMargin = 6;
constexpr int kGap = 8;  // between the names and the axis

QString rangeText(uint32_t begin, uint32_t end) {
  return end - begin == 1 ? QString::number(begin) : QStringLiteral("%1–%2").arg(begin).arg(end - 1);
}
}  // namespace

RegisterMapWidget::RegisterMapWidget(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void RegisterMapWidget::setRecords(const HoldingRegisterTable& records) {
  for (const HoldingRegisterRecord& r : records)
    if (r.group >= 1 && r.group <= kRegisterRows) rowEnabled_[r.group - 1] = r.enable;
  map_ = registerMap(records);
  update();
}

int RegisterMapWidget::laneHeight() const { return fontMetrics().height() + 8; }

int RegisterMapWidget::nameWidth() const {
  int w = 0;
  for (const char* name : kRegisterRowNames)
    w = std::max(w, fontMetrics().horizontalAdvance(ui::trQ("HoldingRegisterRecords", name)));
  return w;
}

QSize RegisterMapWidget::minimumSizeHint() const {
  // Four lanes, then the axis with a tick label below it.
  const int height = 2 * kMargin + kRegisterRows * laneHeight() + 6 + fontMetrics().height();
  return {nameWidth() + kGap + fontMetrics().horizontalAdvance(QStringLiteral("65535–65535")) * 2 + 2 * kMargin, height};
}

QSize RegisterMapWidget::sizeHint() const { return minimumSizeHint().expandedTo(QSize(600, 0)); }

void RegisterMapWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QFontMetrics fm = fontMetrics();
  const int lane = laneHeight();
  const int left = kMargin + nameWidth() + kGap;
  const int width = std::max(1, this->width() - left - kMargin);
  const int axisY = kMargin + kRegisterRows * lane;

  for (int row = 0; row < kRegisterRows; ++row) {
    const QRect nameRect(kMargin, kMargin + row * lane, nameWidth(), lane);
    p.setPen(rowEnabled_[row] ? palette().color(QPalette::WindowText)
                              : palette().color(QPalette::Disabled, QPalette::WindowText));
    p.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter, ui::trQ("HoldingRegisterRecords", kRegisterRowNames[row]));
  }
  p.setPen(palette().color(QPalette::Mid));
  p.drawLine(left, axisY, left + width, axisY);

  if (map_.bars.empty()) {
    p.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
    p.drawText(QRect(left, kMargin, width, kRegisterRows * lane), Qt::AlignCenter,
               ui::trQ("RegisterMapWidget", kNoBarsText));
    return;
  }
  // A bar or a shared part of one register in 65536 still shows.
  const auto span = [&](int row, uint32_t begin, uint32_t end) {
    const int x0 = left + axisPosition(map_, begin, width);
    const int x1 = std::max(x0 + 3, left + axisPosition(map_, end, width));
    return QRect(x0, kMargin + row * lane + 3, x1 - x0, lane - 6);
  };
  for (const RegisterBar& bar : map_.bars) {
    const QRect r = span(bar.row, bar.begin, bar.end);
    p.fillRect(r, kRowColours[bar.row]);
  }
  // Hatched on both rows, so each group shows where it collides.
  for (const RegisterOverlap& o : map_.overlaps) {
    for (int row : {o.rowA, o.rowB}) {
      const QRect r = span(row, o.begin, o.end);
      p.fillRect(r, QColor(255, 235, 235));
      p.fillRect(r, QBrush(kOverlapColour, Qt::BDiagPattern));
      p.fillRect(r, QBrush(kOverlapColour, Qt::FDiagPattern));
      p.setPen(QPen(kOverlapColour, 2));
      p.drawRect(r.adjusted(1, 1, -1, -1));
    }
  }
  // The range inside the bar, or beside it where the bar is too short.
  for (const RegisterBar& bar : map_.bars) {
    const QRect r = span(bar.row, bar.begin, bar.end);
    const QString text = rangeText(bar.begin, bar.end);
    const int textWidth = fm.horizontalAdvance(text) + 8;
    QRect at = r;
    const bool inside = textWidth <= r.width();
    if (!inside) {
      const bool right = r.right() + textWidth <= left + width;
      at = right ? QRect(r.right() + 1, r.top(), textWidth, r.height())
                 : QRect(r.left() - textWidth, r.top(), textWidth, r.height());
    }
    // Inside, a light backing keeps the digits readable over colour and hatching.
    if (inside) {
      QRect backing(0, 0, fm.horizontalAdvance(text) + 4, fm.height());
      backing.moveCenter(at.center());
      p.fillRect(backing, QColor(255, 255, 255, 210));
    }
    p.setPen(palette().color(QPalette::WindowText));
    p.drawText(at, Qt::AlignCenter, text);
  }
  // Ticks at the ends of the span: its first register and its last.
  p.setPen(palette().color(QPalette::WindowText));
  const int labelTop = axisY + 6;
  for (const bool first : {true, false}) {
    const int x = left + (first ? 0 : width - 1);
    p.drawLine(x, axisY - 3, x, axisY + 4);
    const QString label = QString::number(first ? map_.spanBegin : map_.spanEnd - 1);
    const int w = fm.horizontalAdvance(label);
    p.drawText(QRect(first ? x : x - w + 1, labelTop, w, fm.height()), Qt::AlignLeft | Qt::AlignTop, label);
  }
}

}  // namespace velmora

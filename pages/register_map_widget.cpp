#include "pages/register_map_widget.h"

#include <QPainter>

#include <algorithm>

#include "ui/language_qt.h"

namespace velmora {

namespace {
QColor colourOf(MapColour c) { return QColor(c.red, c.green, c.blue); }
}  // namespace

RegisterMapWidget::RegisterMapWidget(QWidget* parent) : QWidget(parent) {
  setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void RegisterMapWidget::setMap(const RegisterMap& map) {
  map_ = map;
  update();
}

int RegisterMapWidget::nameWidth() const {
  int w = 0;
  for (const char* name : kRegisterRowNames)
    w = std::max(w, fontMetrics().horizontalAdvance(ui::trQ("HoldingRegisterRecords", name)));
  return w;
}

QSize RegisterMapWidget::minimumSizeHint() const {
  // Four lanes, then the axis with a tick label below it.
  const int height = mapLayout(fontMetrics().height(), nameWidth(), 0).height;
  return {nameWidth() + kRegisterMapGap + fontMetrics().horizontalAdvance(QStringLiteral("65535–65535")) * 2 + 2 * kRegisterMapMargin, height};
}

QSize RegisterMapWidget::sizeHint() const { return minimumSizeHint().expandedTo(QSize(600, 0)); }

void RegisterMapWidget::paintEvent(QPaintEvent*) {
  QPainter p(this);
  const QFontMetrics fm = fontMetrics();
  const MapLayout layout = mapLayout(fm.height(), nameWidth(), this->width());
  const int lane = layout.lane, left = layout.left, width = layout.width, axisY = layout.axisY;

  for (int row = 0; row < kRegisterRows; ++row) {
    const QRect nameRect(kRegisterMapMargin, kRegisterMapMargin + row * lane, nameWidth(), lane);
    p.setPen(map_.rowEnabled[static_cast<size_t>(row)] ? palette().color(QPalette::WindowText)
                              : palette().color(QPalette::Disabled, QPalette::WindowText));
    p.drawText(nameRect, Qt::AlignLeft | Qt::AlignVCenter, ui::trQ("HoldingRegisterRecords", kRegisterRowNames[row]));
  }
  p.setPen(palette().color(QPalette::Mid));
  p.drawLine(left, axisY, left + width, axisY);

  if (map_.bars.empty()) {
    p.setPen(palette().color(QPalette::Disabled, QPalette::WindowText));
    p.drawText(QRect(left, kRegisterMapMargin, width, kRegisterRows * lane), Qt::AlignCenter,
               ui::trQ("RegisterMapWidget", kNoRegisterBarsText));
    return;
  }
  const auto span = [&](int row, uint32_t begin, uint32_t end) {
    const MapSpan s = mapSpan(map_, begin, end, width);
    return QRect(left + s.left, kRegisterMapMargin + row * lane + 3, s.right - s.left, lane - 6);
  };
  for (const RegisterBar& bar : map_.bars) p.fillRect(span(bar.row, bar.begin, bar.end), colourOf(kRegisterRowColours[static_cast<size_t>(bar.row)]));
  // Hatched on both rows, so each group shows where it collides.
  const QColor overlap = colourOf(kRegisterOverlapColour);
  for (const RegisterOverlap& o : map_.overlaps) {
    for (int row : {o.rowA, o.rowB}) {
      const QRect r = span(row, o.begin, o.end);
      p.fillRect(r, colourOf(kRegisterOverlapBacking));
      p.fillRect(r, QBrush(overlap, Qt::BDiagPattern));
      p.fillRect(r, QBrush(overlap, Qt::FDiagPattern));
      p.setPen(QPen(overlap, 2));
      p.drawRect(r.adjusted(1, 1, -1, -1));
    }
  }
  // The range inside the bar, or beside it where the bar is too short.
  for (const RegisterBar& bar : map_.bars) {
    const MapSpan s = mapSpan(map_, bar.begin, bar.end, width);
    const QString text = QString::fromStdString(registerRangeText(bar.begin, bar.end));
    const int textWidth = fm.horizontalAdvance(text) + 8;
    const LabelPlace place = labelPlace(s, textWidth, width);
    const MapSpan l = labelSpan(s, textWidth, place);
    const QRect at(left + l.left, kRegisterMapMargin + bar.row * lane + 3, l.right - l.left, lane - 6);
    // Inside, a light backing keeps the digits readable over colour and hatching.
    if (place == LabelPlace::Inside) {
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

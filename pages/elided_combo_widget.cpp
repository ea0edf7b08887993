#include "pages/elided_combo_widget.h"

#include <QAbstractItemView>
#include <QStyleOptionComboBox>
#include <QStylePainter>

namespace velmora {

void ElidedComboBox::fitPopupToItems() {
  int widest = 0;
  for (int i = 0; i < count(); ++i) widest = qMax(widest, fontMetrics().horizontalAdvance(itemText(i)));
  view()->setMinimumWidth(widest + 40);
}

void ElidedComboBox::paintEvent(QPaintEvent*) {
  QStylePainter painter(this);
  painter.setPen(palette().color(QPalette::Text));
  QStyleOptionComboBox option;
  initStyleOption(&option);
  painter.drawComplexControl(QStyle::CC_ComboBox, option);
  const QRect field = style()->subControlRect(QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, this);
  option.currentText = fontMetrics().elidedText(option.currentText, Qt::ElideRight, field.width() - 2);
  painter.drawControl(QStyle::CE_ComboBoxLabel, option);
}

}  // namespace velmora

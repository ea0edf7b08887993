// A drop-down list that ends its shown item with "…" when the box is too
// narrow for it; the open list still shows every item whole.
#pragma once

#include <QComboBox>

namespace velmora {

class ElidedComboBox : public QComboBox {
  Q_OBJECT

 public:
  using QComboBox::QComboBox;

  // The open list is made wide enough for the longest item.
  void fitPopupToItems();

 protected:
  void paintEvent(QPaintEvent* event) override;
};

}  // namespace velmora

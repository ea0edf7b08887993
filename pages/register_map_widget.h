// The holding-register page's map: a lane per group on one address axis,
// each enabled group's registers as a bar in its own colour, registers two
// groups share hatched in red.
#pragma once

#include <QWidget>

#include "pages/register_map.h"
#include "base/tr_text.h"

namespace velmora {

class RegisterMapWidget : public QWidget {
  Q_OBJECT

 public:
  // Shown instead of the bars when no group has any.
  static constexpr const char* kNoBarsText = VELMORA_TR_NOOP("RegisterMapWidget", "无已使能的寄存器组");

  explicit RegisterMapWidget(QWidget* parent = nullptr);

  void setRecords(const HoldingRegisterTable& records);
  const RegisterMap& map() const { return map_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int laneHeight() const;
  int nameWidth() const;

  RegisterMap map_;
  bool rowEnabled_[kRegisterRows] = {};
};

}  // namespace velmora

// The holding-register page's map: a lane per group on one address axis,
// each enabled group's registers as a bar in its own colour, registers two
// groups share hatched in red.
#pragma once

#include <QWidget>

#include "pages/register_map.h"

namespace velmora {

class RegisterMapWidget : public QWidget {
  Q_OBJECT

 public:
  explicit RegisterMapWidget(QWidget* parent = nullptr);

  void setRecords(const HoldingRegisterTable& records) { setMap(registerMap(records)); }
  void setMap(const RegisterMap& map);
  const RegisterMap& map() const { return map_; }

  QSize sizeHint() const override;
  QSize minimumSizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;

 private:
  int nameWidth() const;

  RegisterMap map_;
};

}  // namespace velmora

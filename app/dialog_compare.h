// The result of comparing the window's configuration with the device's: one
// line per setting that differs, and the choice of taking the device's.
#pragma once

#include <QDialog>
#include <QStringList>

#include "app/compare_table.h"

class QLabel;
class QListWidget;

namespace velmora {

class DialogCompare : public QDialog {
  Q_OBJECT
 public:
  static constexpr int kHeadingId = compare_id::kHeading;
  static constexpr int kListId = compare_id::kList;
  static constexpr int kLoadButtonId = compare_id::kLoadButton;
  static constexpr int kCloseButtonId = compare_id::kCloseButton;

  // lines: the differences from the window's image to the device's; none
  // says the two agree.
  DialogCompare(QWidget* parent, const QStringList& lines);

  QString heading() const;
  QStringList lines() const;

 signals:
  // "载入设备配置" was pressed; the dialog closes after it.
  void loadRequested();

 private:
  QLabel* heading_ = nullptr;
  QListWidget* list_ = nullptr;
};

}  // namespace velmora

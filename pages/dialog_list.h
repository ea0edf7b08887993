// The read-only parameter list page: every unit of the image as one row.
#pragma once

#include <QWidget>

#include "config/dialog_child_base.h"
#include "pages/list_page_units.h"
#include "pages/page_tables.h"

class QLabel;
class QTableWidget;

namespace velmora {

class DialogList : public QWidget, public DialogChildBase {
  Q_OBJECT

 public:
  static constexpr int kIdList = page_id::kListView;

  // The caption of the page's tab.
  static constexpr const char* kTabCaption = "参数列表";

  explicit DialogList(QWidget* parent = nullptr);

  void loadFromImage(const uint8_t* data, int32_t length) override;
  StoreResult storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) override;

  const ListPageUnits& units() const { return units_; }

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void rebuildRows();

  ListPageUnits units_;
  QLabel* caption_ = nullptr;
  QTableWidget* list_ = nullptr;
};

}  // namespace velmora

#include "pages/dialog_list.h"

#include <QCoreApplication>
#include <QLabel>
#include <QResizeEvent>
#include <QTableWidget>

#include "pages/report_list_widget.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

DialogList::DialogList(QWidget* parent) : QWidget(parent) {
  setFont(ui::pageFont());
  caption_ = new QLabel(QCoreApplication::translate("DialogList", "配置数据单元列表显示（只查看不能修改）"), this);
  caption_->move(10, 20);
  caption_->adjustSize();
  list_ = makeReportList(this, kIdList,
                         {{QCoreApplication::translate("DialogList", "序号"), 60},
                          {QCoreApplication::translate("DialogList", "类型"), 100,
                           QCoreApplication::translate("DialogList", "保持寄存器配置")},
                          {QCoreApplication::translate("DialogList", "参数"), 400}});
  list_->setGeometry(10, 60, 560, 200);
}

void DialogList::loadFromImage(const uint8_t* data, int32_t length) {
  units_.load(data, length);
  rebuildRows();
}

StoreResult DialogList::storeToImage(uint8_t* buffer, int32_t& length, int32_t capacity) {
  return units_.store(buffer, length, capacity) ? StoreResult::stored() : StoreResult::keepImage();
}

void DialogList::rebuildRows() {
  list_->setUpdatesEnabled(false);
  std::vector<QStringList> rows;
  rows.reserve(units_.rows().size());
  for (const ListPageUnits::Row& row : units_.rows())
    rows.push_back({QString::fromStdString(row.index), QString::fromStdString(row.kind),
                    QString::fromStdString(row.parameters)});
  setRows(list_, rows);
  list_->setUpdatesEnabled(true);
  fitLastColumn(list_);
}

void DialogList::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int w = event->size().width();
  const int h = event->size().height();
  list_->setGeometry(10, 60, qMax(0, w - 20), qMax(0, h - 70));
  fitLastColumn(list_);
}

}  // namespace velmora

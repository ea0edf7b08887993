#include "pages/report_list_widget.h"

#include <QEvent>
#include <QFontMetrics>
#include <QHeaderView>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVector>

#include <algorithm>
#include <memory>

#include "ui/ui_kit_qt.h"

namespace velmora {

namespace {
// The list's client area also changes when its vertical scroll bar comes or
// goes; the last column follows it so no horizontal bar appears for nothing.
class ClientWidthFollower : public QObject {
 public:
  explicit ClientWidthFollower(QTableWidget* list) : QObject(list), list_(list) {}

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Resize) fitLastColumn(list_);
    return QObject::eventFilter(watched, event);
  }

 private:
  QTableWidget* list_;
};
}  // namespace

QTableWidget* makeReportList(QWidget* parent, int id, std::initializer_list<ListColumn> columns) {
  auto* list = new QTableWidget(0, static_cast<int>(columns.size()), parent);
  ui::setControlId(list, id);
  list->setEditTriggers(QAbstractItemView::NoEditTriggers);
  list->setSelectionBehavior(QAbstractItemView::SelectRows);
  list->setSelectionMode(QAbstractItemView::SingleSelection);
  list->setShowGrid(true);
  list->setWordWrap(false);
  list->setCornerButtonEnabled(false);
  list->verticalHeader()->hide();
  list->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
  list->verticalHeader()->setDefaultSectionSize(list->fontMetrics().height() + 6);
  list->setHorizontalScrollMode(QAbstractItemView::ScrollPerPixel);
  QHeaderView* header = list->horizontalHeader();
  header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  header->setStretchLastSection(false);
  header->setMinimumSectionSize(1);
  header->setHighlightSections(false);
  header->setSectionsClickable(false);
  int column = 0;
  for (const ListColumn& c : columns) {
    list->setHorizontalHeaderItem(column, new QTableWidgetItem(c.header));
    const QFontMetrics metrics(list->font());
    const int needed = qMax(metrics.horizontalAdvance(c.header), metrics.horizontalAdvance(c.widestText)) + 14;
    header->resizeSection(column, qMax(c.width, needed));
    ++column;
  }
  list->viewport()->installEventFilter(new ClientWidthFollower(list));
  return list;
}

static QTableWidgetItem* readOnlyItem(const QString& text) {
  auto* item = new QTableWidgetItem(text);
  item->setToolTip(text);  // a cut-off description can still be read whole
  item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable);
  item->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  return item;
}

void setRows(QTableWidget* list, const std::vector<QStringList>& rows) {
  list->setRowCount(0);
  list->setRowCount(static_cast<int>(rows.size()));
  const int columns = list->columnCount();
  for (int r = 0; r < static_cast<int>(rows.size()); ++r)
    for (int c = 0; c < rows[r].size() && c < columns; ++c) list->setItem(r, c, readOnlyItem(rows[r][c]));
}

void setRowTexts(QTableWidget* list, int row, int firstColumn, const QStringList& texts) {
  if (row < 0 || row >= list->rowCount()) return;
  for (int i = 0; i < texts.size() && firstColumn + i < list->columnCount(); ++i) {
    if (QTableWidgetItem* item = list->item(row, firstColumn + i)) {
      item->setText(texts[i]);
      item->setToolTip(texts[i]);
    } else list->setItem(row, firstColumn + i, readOnlyItem(texts[i]));
  }
}

void markRowSelected(QTableWidget* list, int row) {
  if (row < 0 || row >= list->rowCount()) return;
  const QSignalBlocker blocker(list);
  list->setCurrentCell(row, 0, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

void fitLastColumn(QTableWidget* list) {
  if (list == nullptr) return;
  QHeaderView* header = list->horizontalHeader();
  const int columns = header->count();
  const int clientWidth = list->viewport()->width();
  if (columns < 1 || clientWidth <= 0) return;
  int others = 0;
  for (int c = 0; c < columns - 1; ++c) others += header->sectionSize(c);
  const int last = clientWidth - others;
  list->setUpdatesEnabled(false);
  header->resizeSection(columns - 1, last > 0 ? last : 1);
  list->setUpdatesEnabled(true);
  header->viewport()->update();
}

QSize listBesideGroupMinimum(const QWidget* paramGroup, const QWidget* firstButton, const QWidget* secondButton) {
  // The offsets are those of the two pages' layoutPage.
  const int buttonsRight = 16 + firstButton->width() + 8 + secondButton->width() + 8;
  const int listWidth = std::max(buttonsRight, 16 + 240 + 8);
  const int rows = 4 * (paramGroup->fontMetrics().height() + 6);
  const int listHeight = 36 + firstButton->height() + 8 + rows + 8;
  return QSize(listWidth + paramGroup->width() + 16, std::max(listHeight, paramGroup->height()) + 16);
}

void linkRadioButtons(std::initializer_list<QRadioButton*> buttons) {
  auto group = std::make_shared<QVector<QRadioButton*>>(buttons);
  for (QRadioButton* button : buttons) {
    button->setAutoExclusive(false);
    QObject::connect(button, &QAbstractButton::clicked, button, [button, group] {
      for (QRadioButton* other : *group) other->setChecked(other == button);
    });
  }
}

void noAutoDefault(std::initializer_list<QAbstractButton*> buttons) {
  for (QAbstractButton* b : buttons)
    if (auto* push = qobject_cast<QPushButton*>(b)) {
      push->setAutoDefault(false);
      push->setDefault(false);
    }
}

}  // namespace velmora

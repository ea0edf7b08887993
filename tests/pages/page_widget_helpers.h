// Helpers for driving a page widget the way the tab host does: by control
// id, and through the image contract.
#pragma once

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "config/dialog_child_base.h"
#include "tests/pages/image_helpers.h"
#include "ui/ui_kit_qt.h"

namespace velmora::testing {

template <typename T = QWidget>
T* control(const QWidget* page, int id) {
  T* found = page->findChild<T*>(ui::controlName(id));
  EXPECT_NE(found, nullptr) << "no control " << id;
  return found;
}

inline void loadImage(DialogChildBase& page, const Bytes& image) {
  page.loadFromImage(image.empty() ? nullptr : image.data(), static_cast<int32_t>(image.size()));
}

// What the main window would take as the new image after the page stored.
inline Bytes storeImage(DialogChildBase& page, const Bytes& before = {}) {
  return storedImage(before, [&](uint8_t* b, int32_t& n, int32_t c) { page.storeToImage(b, n, c); });
}

inline QStringList rowTexts(const QTableWidget* list, int row) {
  QStringList texts;
  for (int c = 0; c < list->columnCount(); ++c) texts << (list->item(row, c) ? list->item(row, c)->text() : QString());
  return texts;
}

inline QStringList headerTexts(const QTableWidget* list) {
  QStringList texts;
  for (int c = 0; c < list->columnCount(); ++c) texts << list->horizontalHeaderItem(c)->text();
  return texts;
}

inline int selectedRow(const QTableWidget* list) {
  const auto rows = list->selectionModel()->selectedRows();
  return rows.size() == 1 ? rows.first().row() : -1;
}

inline void clickRow(QTableWidget* list, int row) {
  const QRect cell = list->visualRect(list->model()->index(row, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
}

// The controls a user reads or clicks on page (labels, buttons, edits, boxes,
// lists), in page coordinates, that are shown; the inner parts of a
// composite control are not controls of their own.
inline std::vector<std::pair<QWidget*, QRect>> visibleControls(QWidget* page) {
  std::vector<std::pair<QWidget*, QRect>> found;
  for (QWidget* w : page->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(page) || w->isWindow()) continue;
    if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLineEdit*>(w) &&
        !qobject_cast<QComboBox*>(w) && !qobject_cast<QAbstractItemView*>(w))
      continue;
    bool inner = false;  // a combo box's edit, a list's scroll buttons, ...
    for (QWidget* p = w->parentWidget(); p != nullptr && p != page; p = p->parentWidget())
      if (qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractItemView*>(p) || qobject_cast<QAbstractScrollArea*>(p))
        inner = true;
    if (!inner) found.emplace_back(w, QRect(w->mapTo(page, QPoint(0, 0)), w->size()));
  }
  return found;
}

inline std::string describe(const QWidget* w) {
  const QString text = w->property("text").toString();
  return (w->metaObject()->className() + (" " + w->objectName() + " " + text)).toStdString();
}

// What is wrong with page's layout as shown: controls that overlap, stick
// out of the page, or are squeezed below their minimum size. Empty when
// every control is whole and apart.
inline std::vector<std::string> layoutFaults(QWidget* page) {
  std::vector<std::string> faults;
  const auto controls = visibleControls(page);
  const QRect area(QPoint(0, 0), page->size());
  for (size_t i = 0; i < controls.size(); ++i) {
    const auto& [w, r] = controls[i];
    if (!area.contains(r)) faults.push_back("outside the page: " + describe(w));
    const QSize least = w->minimumSizeHint().expandedTo(w->minimumSize());
    if (r.height() < least.height()) faults.push_back("squeezed: " + describe(w));
    for (size_t j = i + 1; j < controls.size(); ++j)
      if (r.intersects(controls[j].second))
        faults.push_back("overlap: " + describe(w) + " / " + describe(controls[j].first));
  }
  return faults;
}

// A page shown offscreen at the size the tab host gives it in a wide window.
template <typename Page>
struct ShownPage {
  Page page;
  explicit ShownPage(int width = 900, int height = 500) {
    page.resize(width, height);
    page.show();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&page));
  }
};

}  // namespace velmora::testing

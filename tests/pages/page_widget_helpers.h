// Helpers for driving a page widget the way the tab host does: by control
// id, and through the image contract.
#pragma once

#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>
#include <QTest>
#include <QWidget>

#include <gtest/gtest.h>

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

// Replaces an edit's text by keystrokes, as the user would.
inline void retype(const QWidget* page, int id, const QString& text) {
  auto* edit = control<QLineEdit>(page, id);
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, text);
}

inline QStringList items(const QComboBox* box) {
  QStringList out;
  for (int i = 0; i < box->count(); ++i) out << box->itemText(i);
  return out;
}

inline int selectedRow(const QTableWidget* list) {
  const auto rows = list->selectionModel()->selectedRows();
  return rows.size() == 1 ? rows.first().row() : -1;
}

inline void clickRow(QTableWidget* list, int row) {
  const QRect cell = list->visualRect(list->model()->index(row, 0));
  QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, cell.center());
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

// The main window with the program's own pages at its smallest size and at
// full HD: every page whole, every tab caption and button caption whole.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTabBar>
#include <QTableWidget>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/main_dialog.h"
#include "app/tab_manager.h"
#include "pages/register_map_widget.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;

namespace {

std::string describe(const QWidget* w) {
  return (w->metaObject()->className() + (" " + w->objectName() + " " + w->property("text").toString())).toStdString();
}

// Controls a user reads or clicks (not the inner parts of a composite one)
// that overlap, stick out of the page, or are squeezed below their minimum.
std::vector<std::string> layoutFaults(QWidget* page) {
  std::vector<std::pair<QWidget*, QRect>> controls;
  for (QWidget* w : page->findChildren<QWidget*>()) {
    if (!w->isVisibleTo(page) || w->isWindow()) continue;
    if (!qobject_cast<QLabel*>(w) && !qobject_cast<QAbstractButton*>(w) && !qobject_cast<QLineEdit*>(w) &&
        !qobject_cast<QComboBox*>(w) && !qobject_cast<QAbstractItemView*>(w) && !qobject_cast<RegisterMapWidget*>(w))
      continue;
    bool inner = false;
    for (QWidget* p = w->parentWidget(); p != nullptr && p != page; p = p->parentWidget())
      inner = inner || qobject_cast<QComboBox*>(p) || qobject_cast<QAbstractScrollArea*>(p);
    if (!inner) controls.emplace_back(w, QRect(w->mapTo(page, QPoint(0, 0)), w->size()));
  }
  std::vector<std::string> faults;
  for (size_t i = 0; i < controls.size(); ++i) {
    const auto& [w, r] = controls[i];
    if (!QRect(QPoint(0, 0), page->size()).contains(r)) faults.push_back("outside the page: " + describe(w));
    if (r.height() < w->minimumSizeHint().expandedTo(w->minimumSize()).height()) faults.push_back("squeezed: " + describe(w));
    for (size_t j = i + 1; j < controls.size(); ++j)
      if (r.intersects(controls[j].second))
        faults.push_back("overlap: " + describe(w) + " / " + describe(controls[j].first));
  }
  return faults;
}

}  // namespace

TEST(WindowSize, AtTheSmallestSizeAndAtFullHdEveryPageTabAndButtonIsWhole) {
  velmora::testing::UiRecorder::reset();
  MainDialog dialog;
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  const QSize least = dialog.minimumSize();
  EXPECT_GE(least.width(), MainDialog::kMinimumWidth);
  EXPECT_GE(least.height(), MainDialog::kMinimumHeight);
  TabManager* tabs = dialog.tabHost();
  for (const QSize size : {QSize(100, 100), QSize(1920, 1080)}) {
    dialog.resize(size);  // the window refuses to go below its minimum
    QApplication::processEvents();
    EXPECT_EQ(dialog.size(), size.width() == 100 ? least : size);
    const std::string at = std::to_string(size.width()) + " slot ";
    // The connection page used to be crushed: its group boxes hold their rows apart.
    for (QGroupBox* box : tabs->page(TabManager::kConnectSlot)->findChildren<QGroupBox*>())
      EXPECT_GE(box->height(), box->minimumSizeHint().height()) << box->title().toStdString();
    for (int slot = 0; slot < TabManager::kSlotCount; ++slot) {
      tabs->selectPage(slot);
      QApplication::processEvents();
      QWidget* page = tabs->page(slot);
      EXPECT_EQ(page->geometry(), tabs->pageRect()) << at << slot;
      EXPECT_TRUE(page->width() >= page->minimumSizeHint().width() && page->height() >= page->minimumSizeHint().height())
          << at << slot;
      for (const std::string& fault : layoutFaults(page)) ADD_FAILURE() << at << slot << ": " << fault;
      // A list's last column takes the width the others leave: no empty strip beside an elided column.
      for (const QTableWidget* list : page->findChildren<QTableWidget*>()) {
        if (!list->isVisible()) continue;
        const QHeaderView* header = list->horizontalHeader();
        EXPECT_EQ(header->sectionViewportPosition(header->count() - 1) + header->sectionSize(header->count() - 1),
                  list->viewport()->width())
            << at << slot;
      }
    }
    tabs->selectPage(0);
  }

  // At the smallest size: no tab caption cut, no scrolling; buttons keep half a line's height a side.
  dialog.resize(least);
  QApplication::processEvents();
  QTabBar* bar = tabs->tabControl();
  for (int i = 0; i < bar->count(); ++i) {
    EXPECT_LE(bar->tabRect(i).right(), bar->width() - 1) << bar->tabText(i).toStdString();
    EXPECT_GT(bar->tabRect(i).width(), QFontMetrics(bar->font()).horizontalAdvance(bar->tabText(i)))
        << bar->tabText(i).toStdString();
  }
  for (QToolButton* scroll : bar->findChildren<QToolButton*>()) EXPECT_FALSE(scroll->isVisible());
  const QList<QPushButton*> buttons = dialog.findChildren<QPushButton*>();
  ASSERT_GE(buttons.size(), 10);
  for (const QPushButton* button : buttons) {
    const QFontMetrics metrics(button->font());
    EXPECT_GE(button->width() - metrics.horizontalAdvance(button->text().remove(QLatin1Char('&'))), metrics.height())
        << button->text().toStdString();
  }
}

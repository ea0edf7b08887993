// The main window with the program's own pages, at the smallest size it
// allows and at a full-HD screen's: every page whole, every tab caption whole.
#include <QAbstractButton>
#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QFontMetrics>
#include <QGroupBox>
#include <QHeaderView>
#include <QTableWidget>
#include <QPushButton>
#include <QTabBar>
#include <QTest>
#include <QToolButton>
#include <gtest/gtest.h>

#include "app/main_dialog.h"
#include "app/tab_manager.h"
#include "protocol/dialog_configuration.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using velmora::testing::UiRecorder;

namespace {

// The controls a user reads or clicks on page (labels, buttons, edits, boxes,
// lists), in page coordinates, that are shown; the inner parts of a
// composite control are not controls of their own.
std::vector<std::pair<QWidget*, QRect>> visibleControls(QWidget* page) {
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

std::string describe(const QWidget* w) {
  const QString text = w->property("text").toString();
  return (w->metaObject()->className() + (" " + w->objectName() + " " + text)).toStdString();
}

// What is wrong with page's layout as shown: controls that overlap, stick
// out of the page, or are squeezed below their minimum size. Empty when
// every control is whole and apart.
std::vector<std::string> layoutFaults(QWidget* page) {
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

class WindowSizeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UiRecorder::reset();
    dialog = std::make_unique<MainDialog>();
    dialog->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog.get()));
  }
  void showAt(QSize size) {
    dialog->resize(size);
    QApplication::processEvents();
  }
  // Every page in turn, as the user would click through them.
  void expectEveryPageWhole(const char* where) {
    TabManager* tabs = dialog->tabHost();
    for (int slot = 0; slot < TabManager::kSlotCount; ++slot) {
      tabs->selectPage(slot);
      QApplication::processEvents();
      QWidget* page = tabs->page(slot);
      EXPECT_EQ(page->geometry(), tabs->pageRect()) << where << " slot " << slot;
      EXPECT_GE(page->width(), page->minimumSizeHint().width()) << where << " slot " << slot;
      EXPECT_GE(page->height(), page->minimumSizeHint().height()) << where << " slot " << slot;
      for (const std::string& fault : layoutFaults(page)) ADD_FAILURE() << where << " slot " << slot << ": " << fault;
      // A list's last column takes the width the others leave: no empty
      // strip beside an elided column.
      for (const QTableWidget* list : page->findChildren<QTableWidget*>()) {
        if (!list->isVisible()) continue;
        const QHeaderView* header = list->horizontalHeader();
        EXPECT_EQ(header->sectionViewportPosition(header->count() - 1) + header->sectionSize(header->count() - 1),
                  list->viewport()->width())
            << where << " slot " << slot;
      }
    }
    tabs->selectPage(0);
  }
  void TearDown() override { dialog.reset(); }

  std::unique_ptr<MainDialog> dialog;
};

}  // namespace

TEST_F(WindowSizeTest, AtTheSmallestSizeEveryPageCaptionAndButtonIsWhole) {
  const QSize least = dialog->minimumSize();
  EXPECT_GE(least.width(), MainDialog::kMinimumWidth);
  EXPECT_GE(least.height(), MainDialog::kMinimumHeight);
  showAt(QSize(100, 100));  // the window refuses to go below its minimum
  EXPECT_EQ(dialog->size(), least);

  // The connection page is the one that used to be crushed: its group boxes
  // must hold their rows apart too.
  for (QGroupBox* box : dialog->tabHost()->page(TabManager::kConnectSlot)->findChildren<QGroupBox*>())
    EXPECT_GE(box->height(), box->minimumSizeHint().height()) << box->title().toStdString();
  expectEveryPageWhole("minimum");

  // No caption is cut: the bar shows every tab at its full width, no
  // scrolling needed.
  QTabBar* bar = dialog->tabHost()->tabControl();
  for (int i = 0; i < bar->count(); ++i) {
    const QRect tab = bar->tabRect(i);
    EXPECT_LE(tab.right(), bar->width() - 1) << bar->tabText(i).toStdString();
    EXPECT_GT(tab.width(), QFontMetrics(bar->font()).horizontalAdvance(bar->tabText(i)))
        << bar->tabText(i).toStdString();
  }
  for (QToolButton* scroll : bar->findChildren<QToolButton*>()) EXPECT_FALSE(scroll->isVisible());

  const QList<QPushButton*> buttons = dialog->findChildren<QPushButton*>();
  ASSERT_GE(buttons.size(), 10);
  for (const QPushButton* button : buttons) {
    const QFontMetrics metrics(button->font());
    const int caption = metrics.horizontalAdvance(button->text().remove(QLatin1Char('&')));
    // Half a line's height a side at the least, not the 2 to 3 pixels of a bare size hint.
    EXPECT_GE(button->width() - caption, metrics.height()) << button->text().toStdString();
  }
}

TEST_F(WindowSizeTest, AtFullHdEveryPageIsWhole) {
  showAt(QSize(1920, 1080));
  EXPECT_EQ(dialog->size(), QSize(1920, 1080));
  expectEveryPageWhole("1920x1080");
}

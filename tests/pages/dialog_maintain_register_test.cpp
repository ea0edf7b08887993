#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>

#include "pages/dialog_maintain_register.h"
#include "pages/register_map_widget.h"
#include "pages/tooltip_widget.h"
#include "tests/pages/page_widget_helpers.h"

using namespace velmora;
using namespace velmora::testing;
using D = DialogMaintainRegister;

namespace {
ConfigUnit registerUnit(uint8_t group, uint8_t enable, uint16_t address, uint16_t count, uint8_t width) {
  return {0x04, group, enable, static_cast<uint8_t>(address >> 8), static_cast<uint8_t>(address),
          static_cast<uint8_t>(count >> 8), static_cast<uint8_t>(count), width};
}

const Bytes kDefaults = imageOf({registerUnit(1, 1, 500, 100, 0), registerUnit(2, 1, 1000, 100, 0),
                                 registerUnit(3, 1, 1600, 100, 0), registerUnit(4, 1, 2500, 100, 0),
                                 registerUnit(5, 1, 0, 0, 0)});
}  // namespace

// Inside a dialog, as in the main window: Enter never confirms, Escape never
// closes; only the confirm button takes the edits into the image.
TEST(DialogMaintainRegisterWindow, LoadReachesTheControlsAndOnlyTheConfirmReachesTheImage) {
  QDialog dialog;
  auto* page = new D(&dialog);
  (new QVBoxLayout(&dialog))->addWidget(page);
  dialog.resize(900, 500);
  dialog.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
  QSignalSpy finished(&dialog, &QDialog::finished);
  EXPECT_EQ(control<QLineEdit>(page, 8003)->text(), "500");
  EXPECT_EQ(storeImage(*page), kDefaults);
  loadImage(*page, imageOf({registerUnit(2, 0, 30, 40, 1)}));
  EXPECT_EQ(control<QLineEdit>(page, 8007)->text(), "30");
  EXPECT_EQ(control<QLineEdit>(page, 8008)->text(), "40");
  EXPECT_FALSE(control<QCheckBox>(page, 8006)->isChecked());
  EXPECT_EQ(control<QComboBox>(page, 8009)->currentIndex(), 1);
  loadImage(*page, kDefaults);

  retype(page, 8004, "7");
  auto* edit = control<QLineEdit>(page, 8004);
  QTest::keyClick(edit, Qt::Key_Return);
  QTest::keyClick(edit, Qt::Key_Enter);
  auto* confirm = control<QPushButton>(page, 8018);
  EXPECT_EQ(confirm->text(), "修改确认");
  confirm->setFocus();
  QTest::keyClick(confirm, Qt::Key_Return);
  EXPECT_EQ(page->records().records()[0].count, 100);
  QTest::keyClick(edit, Qt::Key_Escape);
  QTest::keyClick(control<QComboBox>(page, 8005), Qt::Key_Escape);
  QTest::keyClick(page, Qt::Key_Escape);
  EXPECT_EQ(finished.count(), 0);
  EXPECT_TRUE(dialog.isVisible());
  EXPECT_EQ(edit->text(), "7");

  retype(page, 8003, "70000");
  control<QComboBox>(page, 8009)->setCurrentIndex(1);
  control<QCheckBox>(page, 8001)->click();
  QTest::keyClick(confirm, Qt::Key_Space);  // space on the focused button is still a click
  EXPECT_EQ(control<QLineEdit>(page, 8003)->text(), "70000") << "the confirmation leaves the edit as typed";
  const Bytes confirmed = storeImage(*page);
  ASSERT_EQ(confirmed.size(), 40u);
  EXPECT_EQ(Bytes(confirmed.begin(), confirmed.begin() + 16),
            imageOf({registerUnit(1, 1, 65535, 7, 0), registerUnit(2, 1, 1000, 100, 1)}));
  EXPECT_EQ(Bytes(confirmed.begin() + 32, confirmed.end()), imageOf({registerUnit(5, 0, 0, 0, 0)}));
}

TEST(DialogMaintainRegisterWindow, PendingEditsMarkedAndLoggedOnce) {
  struct Lines : LogSink {
    std::vector<std::string> lines;
    void logMessage(const std::string& text) override { lines.push_back(text); }
  } log;
  D page(nullptr, &log);
  page.resize(900, 500);
  page.show();
  ASSERT_TRUE(QTest::qWaitForWindowExposed(&page));
  auto* confirm = control<QPushButton>(&page, 8018);
  const QColor plain = confirm->palette().color(QPalette::Button);
  const auto marked = [&] {
    EXPECT_EQ(page.pendingNote()->isVisible(), page.hasPendingEdits());
    return page.hasPendingEdits() && confirm->palette().color(QPalette::Button) == page.palette().color(QPalette::Highlight);
  };
  EXPECT_FALSE(marked());
  EXPECT_EQ(page.pendingNote()->text(), "有未确认的修改");
  retype(&page, 8003, "600");
  EXPECT_TRUE(marked());
  retype(&page, 8003, "500");  // typed back: nothing to confirm
  EXPECT_FALSE(marked());
  EXPECT_EQ(confirm->palette().color(QPalette::Button), plain);

  // A page change stores the records, not the edits, and says so once.
  control<QComboBox>(&page, 8013)->setCurrentIndex(1);
  EXPECT_TRUE(marked());
  EXPECT_EQ(storeImage(page), kDefaults);
  EXPECT_EQ(storeImage(page), kDefaults);
  loadImage(page, kDefaults);  // the return to the page
  EXPECT_EQ(log.lines, std::vector<std::string>{"保持寄存器配置：未确认的修改未生效"});
  EXPECT_FALSE(marked());
  EXPECT_EQ(control<QComboBox>(&page, 8013)->currentIndex(), 0);

  // Confirmed edits are no longer pending and leave no line.
  control<QCheckBox>(&page, 8002)->click();
  QTest::mouseClick(confirm, Qt::LeftButton);
  EXPECT_FALSE(marked());
  storeImage(page);
  EXPECT_EQ(log.lines.size(), 1u);

  // A load while the page is shown (Open, a read) drops edits too.
  control<QCheckBox>(&page, 8002)->click();
  EXPECT_TRUE(marked());
  loadImage(page, kDefaults);
  EXPECT_EQ(log.lines.size(), 2u);
  EXPECT_FALSE(marked());
}

// The map shows the controls as typed, before "修改确认", and a load's records.
TEST(DialogMaintainRegisterWindow, MapFollowsTheControlsAndLoads) {
  ShownPage<D> shown;
  D& page = shown.page;
  const RegisterMapWidget* map = page.registerMap();
  ASSERT_NE(map, nullptr);
  EXPECT_EQ(map->map().bars.size(), 4u);
  EXPECT_TRUE(map->map().overlaps.empty());
  retype(&page, 8007, "550");
  ASSERT_EQ(map->map().overlaps.size(), 1u) << "drawn while the edit is unconfirmed";
  EXPECT_EQ(map->map().overlaps[0], (RegisterOverlap{0, 1, 550, 600}));
  control<QCheckBox>(&page, 8002)->click();
  EXPECT_TRUE(map->map().overlaps.empty());
  EXPECT_EQ(map->map().bars.front().row, 1);
  loadImage(page, imageOf({registerUnit(3, 1, 10, 5, 0), registerUnit(1, 0, 0, 0, 0), registerUnit(2, 0, 0, 0, 0),
                           registerUnit(4, 0, 0, 0, 0)}));
  EXPECT_EQ(map->map().bars, (std::vector<RegisterBar>{{2, 10, 15}}));
  EXPECT_GE(map->height(), map->minimumSizeHint().height());
}

TEST(DialogMaintainRegisterWindow, ToolTipsAppearAfterThePointerRestsAndWrapTheLongOne) {
  ShownPage<D> shown;
  D& page = shown.page;
  ToolTipWidget* tips = page.toolTips();
  ASSERT_NE(tips, nullptr);
  EXPECT_EQ(tips->toolText(control(&page, 8013)), "位数：半字表示 16 位，全字表示 32 位。");
  EXPECT_TRUE(tips->toolText(control(&page, 8001)).isEmpty());

  QWidget* edit = control(&page, 8008);
  QEvent enter(QEvent::Enter);
  QCoreApplication::sendEvent(edit, &enter);
  EXPECT_FALSE(tips->isTipVisible());
  EXPECT_TRUE(QTest::qWaitFor([&] { return tips->isTipVisible(); }, 3000));
  EXPECT_EQ(tips->visibleText(), "输出寄存器数量，范围 0~65535，默认 100。");
  QEvent leave(QEvent::Leave);
  QCoreApplication::sendEvent(edit, &leave);
  EXPECT_FALSE(tips->isTipVisible());

  // The long tip wraps within the maximum width and goes on a click.
  tips->showTipFor(control(&page, 8018));
  ASSERT_TRUE(tips->isTipVisible());
  EXPECT_LE(tips->tipWindow()->width(), 300);
  EXPECT_EQ(tips->visibleText(), "将界面上的修改写入本页数据缓冲。\n注意：只有点击本按钮后，修改才会在下次下发配置时生效。");
  QTest::mouseClick(control(&page, 8018), Qt::LeftButton);
  EXPECT_FALSE(tips->isTipVisible());
}

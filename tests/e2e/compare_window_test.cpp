// The 编辑 menu's comparison against velmora-devsim: the device's image is
// read apart from the pages, listed against the window's, and reaches the
// pages only when the user takes it.
#include <QLabel>
#include <QPushButton>
#include <QTest>

#include <algorithm>

#include "app/dialog_compare.h"
#include "tests/e2e/window_driver_qt.h"
#include "tests/support/ui_recorder.h"

using velmora::testing::UiRecorder;

namespace velmora::e2e {
namespace {

class CompareWindowTest : public DeviceTest {
 protected:
  // Runs the command and waits for its dialog; null when none came.
  DialogCompare* compare(int limitMs = 6000) {
    QTest::qWait(0);  // a closed dialog is gone before the next is looked for
    ui->window().action(MainDialog::kCompareDevice)->trigger();
    DialogCompare* shown = nullptr;
    const auto up = [&] { return (shown = ui->window().findChild<DialogCompare*>()) && shown->isVisible(); };
    return QTest::qWaitFor(up, limitMs) ? shown : nullptr;
  }
  static void press(DialogCompare* dialog, int id) {
    QTest::mouseClick(dialog->findChild<QPushButton*>(QString::number(id)), Qt::LeftButton);
    QTest::qWait(0);
  }
};

TEST_F(CompareWindowTest, ListsTheDifferencesAndLoadsOnlyWhenAsked) {
  ASSERT_NO_FATAL_FAILURE(startDevice());
  ui->window().action(MainDialog::kCompareDevice)->trigger();
  EXPECT_EQ(UiRecorder::messages(), QStringList{"请先连接设备"}) << "refused as the read button is";
  ASSERT_NO_FATAL_FAILURE(connectOver(Transport::Tcp));
  ASSERT_TRUE(ui->transfer(true));

  DialogCompare* dialog = compare();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->heading(), QStringLiteral("当前配置与设备配置一致。"));
  EXPECT_TRUE(dialog->lines().isEmpty());
  EXPECT_TRUE(ui->log().has("与设备比较：配置一致"));
  press(dialog, DialogCompare::kCloseButtonId);

  // The edit on the page on show counts; the device's copy does not reach the pages.
  ui->clickTab(2);
  ui->typeInto(ui->control<QLineEdit>(2, 5012), QStringLiteral("10.1.2.99"));
  const size_t from = ui->log().mark();
  dialog = compare();
  ASSERT_NE(dialog, nullptr);
  EXPECT_TRUE(ui->log().has("读取配置完成，共 3 包，128 字节", from)) << "a read like the button's";
  EXPECT_EQ(ui->stateText(), QStringLiteral("读取完成"));
  EXPECT_EQ(ui->progress(), 100);
  EXPECT_EQ(dialog->heading(), QStringLiteral("当前配置与设备配置有 1 处不同（当前 → 设备）："));
  EXPECT_EQ(dialog->lines(), QStringList{"网络配置 0 IP：10.1.2.99 → 10.1.2.3"});
  // The network page stores its three units (5 to 7) after the others.
  Bytes edited = sampleImage();
  edited[5 * 8 + 7] = 99;
  std::rotate(edited.begin() + 5 * 8, edited.begin() + 8 * 8, edited.end());
  EXPECT_EQ(ui->window().configImage(), edited);
  EXPECT_EQ(ui->text(2, 5012), QStringLiteral("10.1.2.99"));

  press(dialog, DialogCompare::kLoadButtonId);
  EXPECT_EQ(ui->window().configImage(), sampleImage());
  EXPECT_EQ(ui->text(2, 5012), QStringLiteral("10.1.2.3"));
  EXPECT_TRUE(ui->log().has("已载入设备配置 (120 字节)", from));
  EXPECT_EQ(UiRecorder::messages().size(), 1);
}

// The read's own log says why it failed; no dialog, nothing changed. The
// next comparison goes through.
TEST_F(CompareWindowTest, AFailedReadShowsNoDialog) {
  ASSERT_NO_FATAL_FAILURE(startDevice({"--drop", "1"}));
  ASSERT_NO_FATAL_FAILURE(connectOver(Transport::Tcp));
  const Bytes before = ui->window().configImage();
  EXPECT_EQ(compare(3500), nullptr);
  EXPECT_TRUE(ui->log().has("读取配置超时，复位"));
  EXPECT_EQ(ui->window().configImage(), before);
  DialogCompare* dialog = compare();
  ASSERT_NE(dialog, nullptr);
  EXPECT_FALSE(dialog->lines().isEmpty());
  EXPECT_EQ(ui->window().configImage(), before);
}

}  // namespace
}  // namespace velmora::e2e

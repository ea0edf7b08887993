// 编辑 → 与设备比较 against velmora-devsim: the device's image is read apart
// from the pages and reaches them only when the user takes it.
#include <QPushButton>
#include <QTest>

#include <algorithm>

#include "app/dialog_compare.h"
#include "tests/e2e/window_driver_qt.h"
#include "tests/support/ui_recorder.h"

namespace velmora::e2e {
namespace {

TEST_F(DeviceTest, ComparisonListsTheDifferencesAndLoadsOnlyWhenAsked) {
  const auto compare = [this] {
    QTest::qWait(0);  // the dialog closed before is gone
    ui->window().action(MainDialog::kCompareDevice)->trigger();
    DialogCompare* d = nullptr;
    return QTest::qWaitFor([&] { return (d = ui->window().findChild<DialogCompare*>()) && d->isVisible(); }, 6000) ? d : nullptr;
  };
  const auto press = [](DialogCompare* d, int id) { QTest::mouseClick(d->findChild<QPushButton*>(QString::number(id)), Qt::LeftButton); };
  ASSERT_NO_FATAL_FAILURE(startDevice());
  ui->window().action(MainDialog::kCompareDevice)->trigger();
  EXPECT_EQ(testing::UiRecorder::messages(), QStringList{"请先连接设备"}) << "refused as the read button is";
  ASSERT_NO_FATAL_FAILURE(connectOver(Transport::Tcp));
  ASSERT_TRUE(ui->transfer(true));
  DialogCompare* dialog = compare();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(dialog->heading(), QStringLiteral("当前配置与设备配置一致。"));
  EXPECT_TRUE(dialog->lines().isEmpty());
  press(dialog, DialogCompare::kCloseButtonId);

  // The unconfirmed edit on the page on show counts, as for Save.
  ui->clickTab(2);
  ui->typeInto(ui->control<QLineEdit>(2, 5012), QStringLiteral("10.1.2.99"));
  dialog = compare();
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(ui->stateText(), QStringLiteral("读取完成"));
  EXPECT_EQ(dialog->lines(), QStringList{"网络配置 0 IP：10.1.2.99 → 10.1.2.3"});
  Bytes edited = sampleImage();  // the network page stores its units 5 to 7 after the others
  edited[5 * 8 + 7] = 99;
  std::rotate(edited.begin() + 5 * 8, edited.begin() + 8 * 8, edited.end());
  EXPECT_EQ(ui->window().configImage(), edited);
  EXPECT_EQ(ui->text(2, 5012), QStringLiteral("10.1.2.99"));
  press(dialog, DialogCompare::kLoadButtonId);
  EXPECT_EQ(ui->window().configImage(), sampleImage());
  EXPECT_EQ(ui->text(2, 5012), QStringLiteral("10.1.2.3"));
}

}  // namespace
}  // namespace velmora::e2e

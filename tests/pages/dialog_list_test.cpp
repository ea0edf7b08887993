#include <QLabel>

#include "pages/dialog_list.h"
#include "tests/pages/page_widget_helpers.h"

using namespace velmora;
using namespace velmora::testing;

// The rows' texts are ListPageUnits' (unit_description_test); here the
// wiring: a load reaches the list, which cannot be edited.
TEST(DialogListWindow, ShowsEachUnitReadOnlyAndStoresItBack) {
  ShownPage<DialogList> shown;
  auto* list = control<QTableWidget>(&shown.page, DialogList::kIdList);
  ASSERT_NE(shown.page.findChild<QLabel*>(), nullptr);
  EXPECT_EQ(shown.page.findChild<QLabel*>()->text(), QStringLiteral("配置数据单元列表显示（只查看不能修改）"));

  const Bytes image = imageOf({{0x01, 0x03, 0x00, 0x00, 0x25, 0x80, 0x84, 0x0D}, {0x07, 1, 2, 3, 4, 5, 6, 0x0A}});
  loadImage(shown.page, image);
  ASSERT_EQ(list->rowCount(), 2);
  EXPECT_EQ(rowTexts(list, 0), (QStringList{"0", "串口配置",
                                            "数据口3: 波特率=9600, 数据位=8, 停止位=1.5, 校验=无, 协议=55协议 程序下载 临时数据包"}));
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_FALSE(list->item(0, 2)->flags() & Qt::ItemIsEditable);
  EXPECT_EQ(storeImage(shown.page, imageOf({{2, 2, 2, 2, 2, 2, 2, 2}})), image);
  loadImage(shown.page, {});
  EXPECT_EQ(list->rowCount(), 0);
}

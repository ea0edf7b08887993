#include <QHeaderView>
#include <QLabel>

#include "pages/dialog_list.h"
#include "tests/pages/page_widget_helpers.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using namespace velmora::testing;

TEST(DialogListWindow, ShowsEveryUnitWithItsKindAndDescription) {
  UiRecorder::reset();
  ShownPage<DialogList> shown;
  auto* list = control<QTableWidget>(&shown.page, DialogList::kIdList);
  EXPECT_EQ(headerTexts(list), (QStringList{"序号", "类型", "参数"}));
  EXPECT_NE(shown.page.findChild<QLabel*>(), nullptr);
  EXPECT_EQ(shown.page.findChild<QLabel*>()->text(), QStringLiteral("配置数据单元列表显示（只查看不能修改）"));

  loadImage(shown.page, imageOf({{0x01, 0x03, 0x00, 0x00, 0x25, 0x80, 0x84, 0x0D},
                                 {0x02, 0x00, 0x01, 0x01, 0xFF, 0xFF, 0xFF, 0x00},
                                 {0x03, 0x00, 0x0B, 0xB8, 0x00, 0x00, 0x00, 0x00},
                                 {0x04, 0x03, 0x01, 0x06, 0x40, 0x00, 0x64, 0x01},
                                 {0x07, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x0A}}));
  ASSERT_EQ(list->rowCount(), 5);
  EXPECT_EQ(rowTexts(list, 0), (QStringList{"0", "串口配置",
                                            "数据口3: 波特率=9600, 数据位=8, 停止位=1.5, 校验=无, 协议=55协议 程序下载 临时数据包"}));
  EXPECT_EQ(rowTexts(list, 1), (QStringList{"1", "网络配置", "网络口0 (虚拟1): 掩码=255.255.255.0"}));
  EXPECT_EQ(rowTexts(list, 2), (QStringList{"2", "网络端口", "网口1: 端口=3000, 协议=无协议"}));
  EXPECT_EQ(rowTexts(list, 3), (QStringList{"3", "保持寄存器配置", "全局整数: 使能=开, 地址=1600, 数量=100, 位数=全字"}));
  EXPECT_EQ(rowTexts(list, 4), (QStringList{"4", "未知", "未知: 07 01 02 03 04 05 06 0A"}));
  // Read-only: no item can be edited.
  EXPECT_FALSE(list->item(0, 2)->flags() & Qt::ItemIsEditable);
  EXPECT_EQ(list->editTriggers(), QAbstractItemView::NoEditTriggers);
  EXPECT_TRUE(UiRecorder::messages().isEmpty());
}

TEST(DialogListWindow, StoresBackExactlyItsWholeUnits) {
  ShownPage<DialogList> shown;
  Bytes image = imageOf({{0x09, 1, 2, 3, 4, 5, 6, 7}});
  image.insert(image.end(), {1, 2, 3, 4, 5});
  loadImage(shown.page, image);
  EXPECT_EQ(control<QTableWidget>(&shown.page, DialogList::kIdList)->rowCount(), 1);
  EXPECT_EQ(storeImage(shown.page, imageOf({{2, 2, 2, 2, 2, 2, 2, 2}, {3, 3, 3, 3, 3, 3, 3, 3}})),
            Bytes(image.begin(), image.begin() + 8));

  loadImage(shown.page, {});
  EXPECT_EQ(control<QTableWidget>(&shown.page, DialogList::kIdList)->rowCount(), 0);
  EXPECT_TRUE(storeImage(shown.page, imageOf({{2, 2, 2, 2, 2, 2, 2, 2}})).empty());
}

TEST(DialogListWindow, ListFollowsThePageSizeAndTheLastColumnFillsIt) {
  ShownPage<DialogList> shown(900, 500);
  auto* list = control<QTableWidget>(&shown.page, DialogList::kIdList);
  EXPECT_EQ(list->geometry(), QRect(10, 60, 880, 430));
  QHeaderView* header = list->horizontalHeader();
  EXPECT_EQ(header->sectionSize(0), 60);
  EXPECT_GE(header->sectionSize(1), 100);
  EXPECT_EQ(header->sectionSize(0) + header->sectionSize(1) + header->sectionSize(2), list->viewport()->width());

  shown.page.resize(700, 400);
  QCoreApplication::processEvents();
  EXPECT_EQ(list->geometry(), QRect(10, 60, 680, 330));
  EXPECT_EQ(header->sectionSize(0) + header->sectionSize(1) + header->sectionSize(2), list->viewport()->width());

  // Too narrow for the first two columns: the last keeps a width of 1.
  shown.page.resize(150, 200);
  QCoreApplication::processEvents();
  EXPECT_EQ(header->sectionSize(2), 1);
}

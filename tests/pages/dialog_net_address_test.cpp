#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "pages/dialog_net_address.h"
#include "tests/pages/page_widget_helpers.h"

using namespace velmora;
using namespace velmora::testing;
using D = DialogNetAddress;

// Which addresses are stored is network_address_records_test's; here the
// edits reaching the image and a load reaching the edits.
TEST(DialogNetAddressWindow, TypedAddressIsStoredAndConfirmShowsWhatWasKept) {
  ShownPage<D> shown;
  D& page = shown.page;
  EXPECT_EQ(control<QLineEdit>(&page, D::kIdMask)->text(), "255.255.255.0");
  EXPECT_EQ(control<QLabel>(&page, D::kIdStatus)->text(), "就绪");
  EXPECT_FALSE(control<QPushButton>(&page, D::kIdConfirm)->autoDefault());
  EXPECT_TRUE(storeImage(page).empty());

  // Typing alone reaches the image when the page is left.
  retype(&page, D::kIdIp, "192.168.1.111");
  EXPECT_EQ(storeImage(page), imageOf({{0x02, 0x00, 0x00, 0x00, 0xC0, 0xA8, 0x01, 0x6F},
                                       {0x02, 0x00, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0x00},
                                       {0x02, 0x00, 0x00, 0x02, 0xC0, 0xA8, 0x01, 0x01}}));

  retype(&page, D::kIdIp, "10.0.0.1xyz");
  retype(&page, D::kIdMask, "300.1.1.1");
  QTest::mouseClick(control<QPushButton>(&page, D::kIdConfirm), Qt::LeftButton);
  EXPECT_EQ(control<QLineEdit>(&page, D::kIdIp)->text(), "10.0.0.1");
  EXPECT_EQ(control<QLineEdit>(&page, D::kIdMask)->text(), "255.255.255.0");
  EXPECT_EQ(control<QLabel>(&page, D::kIdStatus)->text(), "修改已确认");

  loadImage(page, imageOf({{0x02, 0x00, 0x00, 0x02, 10, 0, 0, 254}}));
  EXPECT_EQ(control<QLineEdit>(&page, D::kIdGateway)->text(), "10.0.0.254");
}

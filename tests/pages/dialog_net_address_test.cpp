#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "pages/dialog_net_address.h"
#include "tests/pages/page_widget_helpers.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using namespace velmora::testing;
using D = DialogNetAddress;

namespace {
void retype(D& page, int id, const QString& text) {
  auto* edit = control<QLineEdit>(&page, id);
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, text);
}
}  // namespace

TEST(DialogNetAddressWindow, OpensWithFactoryAddressesAndStoresNothing) {
  UiRecorder::reset();
  ShownPage<D> shown;
  D& page = shown.page;
  EXPECT_EQ(control<QLineEdit>(&page, D::kIdIp)->text(), "192.168.1.110");
  EXPECT_EQ(control<QLineEdit>(&page, D::kIdMask)->text(), "255.255.255.0");
  EXPECT_EQ(control<QLineEdit>(&page, D::kIdGateway)->text(), "192.168.1.1");
  EXPECT_EQ(control<QLabel>(&page, D::kIdStatus)->text(), "就绪");
  EXPECT_EQ(control<QLabel>(&page, D::kIdIpLabel)->text(), "网络地址");
  EXPECT_EQ(control<QLabel>(&page, D::kIdMaskLabel)->text(), "子网掩码");
  EXPECT_EQ(control<QLabel>(&page, D::kIdGatewayLabel)->text(), "网关地址");
  EXPECT_FALSE(control<QPushButton>(&page, D::kIdConfirm)->autoDefault());
  control(&page, D::kIdGroup);
  EXPECT_TRUE(storeImage(page).empty());
}

TEST(DialogNetAddressWindow, TypedAddressIsStoredWhenThePageIsLeft) {
  ShownPage<D> shown;
  D& page = shown.page;
  retype(page, D::kIdIp, "192.168.1.111");
  EXPECT_EQ(storeImage(page), imageOf({{0x02, 0x00, 0x00, 0x00, 0xC0, 0xA8, 0x01, 0x6F},
                                       {0x02, 0x00, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0x00},
                                       {0x02, 0x00, 0x00, 0x02, 0xC0, 0xA8, 0x01, 0x01}}));
  EXPECT_EQ(control<QLabel>(&page, D::kIdStatus)->text(), "就绪");
}

TEST(DialogNetAddressWindow, ConfirmShowsTheKeptValueOfARejectedEntry) {
  ShownPage<D> shown;
  D& page = shown.page;
  retype(page, D::kIdIp, "10.0.0.1xyz");
  retype(page, D::kIdMask, "300.1.1.1");
  retype(page, D::kIdGateway, "10.0.0");
  QTest::mouseClick(control<QPushButton>(&page, D::kIdConfirm), Qt::LeftButton);
  EXPECT_EQ(control<QLineEdit>(&page, D::kIdIp)->text(), "10.0.0.1");
  EXPECT_EQ(control<QLineEdit>(&page, D::kIdMask)->text(), "255.255.255.0");
  EXPECT_EQ(control<QLineEdit>(&page, D::kIdGateway)->text(), "192.168.1.1");
  EXPECT_EQ(control<QLabel>(&page, D::kIdStatus)->text(), "修改已确认");

  // Back to the factory values: the port's units leave the image.
  const Bytes before = storeImage(page);
  EXPECT_EQ(before.size(), 24u);
  retype(page, D::kIdIp, "192.168.1.110");
  EXPECT_TRUE(storeImage(page, before).empty());
}

TEST(DialogNetAddressWindow, LoadKeepsSerialNumberAndOtherPortsInTheImage) {
  ShownPage<D> shown;
  D& page = shown.page;
  const ConfigUnit serialNumber{0x02, 0x00, 0x00, 0x03, 0xDE, 0xAD, 0xBE, 0xEF};
  const ConfigUnit port3{0x02, 0x03, 0x00, 0x00, 0x0A, 0x00, 0x00, 0x05};
  const Bytes image = imageOf({port3, serialNumber});
  loadImage(page, image);
  EXPECT_EQ(control<QLineEdit>(&page, D::kIdIp)->text(), "192.168.1.110");  // port 0 shown
  Bytes stored = storeImage(page, image);
  EXPECT_EQ(stored, imageOf({serialNumber, port3, {0x02, 0x03, 0x00, 0x01, 0xFF, 0xFF, 0xFF, 0x00},
                             {0x02, 0x03, 0x00, 0x02, 0xC0, 0xA8, 0x01, 0x01}}));
  loadImage(page, stored);
  EXPECT_EQ(storeImage(page, stored), stored);

  // Port 0 from the image shows in the edits.
  loadImage(page, imageOf({{0x02, 0x00, 0x00, 0x02, 10, 0, 0, 254}}));
  EXPECT_EQ(control<QLineEdit>(&page, D::kIdGateway)->text(), "10.0.0.254");
}

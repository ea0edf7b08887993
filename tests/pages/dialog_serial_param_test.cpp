#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "pages/dialog_serial_param.h"
#include "tests/pages/page_widget_helpers.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using namespace velmora::testing;
using D = DialogSerialParam;

namespace {

ConfigUnit dataPort(uint8_t number, uint8_t lineFormat, uint8_t flags, uint32_t baud = 9600) {
  return {0x01, number, static_cast<uint8_t>(baud >> 24), static_cast<uint8_t>(baud >> 16),
          static_cast<uint8_t>(baud >> 8), static_cast<uint8_t>(baud), lineFormat, flags};
}

void typeBaud(D& page, const QString& text) {
  QLineEdit* edit = control<QComboBox>(&page, D::kIdBaud)->lineEdit();
  edit->setFocus();
  edit->selectAll();
  QTest::keyClicks(edit, text);
}
}  // namespace

TEST(DialogSerialParamWindow, OpensWithOneDefaultPortShown) {
  ShownPage<D> shown;
  D& page = shown.page;
  auto* list = control<QTableWidget>(&page, D::kIdList);
  ASSERT_EQ(list->rowCount(), 1);
  EXPECT_EQ(rowTexts(list, 0), (QStringList{"数据口1", "9600", "8", "1", "无校验", "55协议 程序下载 临时数据包"}));
  EXPECT_EQ(items(control<QComboBox>(&page, D::kIdBaud)),
            (QStringList{"1200", "2400", "4800", "9600", "19200", "38400", "57600", "115200"}));
  EXPECT_EQ(items(control<QComboBox>(&page, D::kIdStopBits)), (QStringList{"1", "1.5", "2"}));
  EXPECT_EQ(items(control<QComboBox>(&page, D::kIdParity)), (QStringList{"无校验", "偶校验", "奇校验", "标记校验"}));
  // Enter in an edit must not press them.
  EXPECT_FALSE(control<QPushButton>(&page, D::kIdAdd)->autoDefault());
  EXPECT_FALSE(control<QPushButton>(&page, D::kIdRemove)->autoDefault());
  EXPECT_EQ(storeImage(page), imageOf({{0x01, 0x01, 0x00, 0x00, 0x25, 0x80, 0x80, 0x0D}}));
}

TEST(DialogSerialParamWindow, EveryControlWritesTheSelectedRowAndATypedBaudRateSurvivesTheOthers) {
  ShownPage<D> shown;
  D& page = shown.page;
  typeBaud(page, "600");
  auto* list = control<QTableWidget>(&page, D::kIdList);
  // Changing the stop bits afterwards must not put the list's 9600 back.
  control<QComboBox>(&page, D::kIdStopBits)->setCurrentIndex(2);
  EXPECT_EQ(rowTexts(list, 0).mid(1, 3), (QStringList{"600", "8", "2"}));
  EXPECT_EQ(storeImage(page), imageOf({dataPort(1, 0x88, 0x0D, 600)}));

  // Picking from the list replaces the typed rate; not a number keeps the pick.
  auto* baud = control<QComboBox>(&page, D::kIdBaud);
  baud->setFocus();
  QTest::keyClick(baud, Qt::Key_Down);
  EXPECT_EQ(list->item(0, 1)->text(), "19200");
  typeBaud(page, "fast");
  EXPECT_EQ(list->item(0, 1)->text(), "19200");

  control<QComboBox>(&page, D::kIdParity)->setCurrentIndex(3);
  control<QCheckBox>(&page, D::kIdModbusRtu)->click();
  control<QCheckBox>(&page, D::kIdProgramDownload)->click();
  control<QRadioButton>(&page, D::kIdRemoteControl)->click();
  control<QRadioButton>(&page, D::kIdModbusTcp)->click();
  EXPECT_FALSE(control<QRadioButton>(&page, D::kIdRemoteControl)->isChecked());
  EXPECT_EQ(rowTexts(list, 0).mid(4), (QStringList{"标记校验", "55协议 Modbus RTU协议 临时数据包 Modbus TCP协议"}));
  EXPECT_EQ(storeImage(page), imageOf({dataPort(1, 0x8B, 0x2B, 19200)}));
  // Clicking the checked choice again keeps it checked.
  control<QRadioButton>(&page, D::kIdModbusTcp)->click();
  EXPECT_TRUE(control<QRadioButton>(&page, D::kIdModbusTcp)->isChecked());
}

// Adding and removing are SerialPortRecords'; here the label and the box.
TEST(DialogSerialParamWindow, AddSelectsTheNewPortAndTheThirtyThirdIsRefused) {
  UiRecorder::reset();
  ShownPage<D> shown;
  D& page = shown.page;
  auto* add = control<QPushButton>(&page, D::kIdAdd);
  auto* list = control<QTableWidget>(&page, D::kIdList);
  QTest::mouseClick(add, Qt::LeftButton);
  EXPECT_EQ(control<QLabel>(&page, D::kIdPortName)->text(), "数据口2");
  EXPECT_EQ(selectedRow(list), 1);
  for (int i = 0; i < 30; ++i) add->click();
  EXPECT_TRUE(UiRecorder::messages().isEmpty());
  add->click();
  EXPECT_EQ(UiRecorder::messages(), QStringList{"已达到最大数据口数量 (32)"});
  EXPECT_EQ(list->rowCount(), 32);
}

TEST(DialogSerialParamWindow, SwitchingPortsKeepsEachPortsOwnValues) {
  ShownPage<D> shown;
  D& page = shown.page;
  auto* list = control<QTableWidget>(&page, D::kIdList);
  loadImage(page, imageOf({dataPort(1, 0x80, 0x0D), dataPort(2, 0x89, 0x12, 57600)}));
  ASSERT_EQ(list->rowCount(), 2);
  control<QComboBox>(&page, D::kIdParity)->setCurrentIndex(2);  // port 1: odd parity

  clickRow(list, 1);
  EXPECT_EQ(control<QLabel>(&page, D::kIdPortName)->text(), "数据口2");
  EXPECT_EQ(control<QComboBox>(&page, D::kIdBaud)->currentText(), "57600");
  EXPECT_EQ(control<QComboBox>(&page, D::kIdParity)->currentText(), "偶校验");
  EXPECT_TRUE(control<QRadioButton>(&page, D::kIdRemoteControl)->isChecked());
  // Showing port 2 wrote nothing of port 1's controls into it.
  EXPECT_EQ(rowTexts(list, 1), (QStringList{"数据口2", "57600", "8", "2", "偶校验", "Modbus RTU协议 远程控制"}));
  EXPECT_EQ(rowTexts(list, 0)[4], "奇校验");
  EXPECT_EQ(storeImage(page), imageOf({dataPort(1, 0x82, 0x0D), dataPort(2, 0x89, 0x12, 57600)}));
}

TEST(DialogSerialParamWindow, LoadedDataBitsSurviveLookingAndChangeOnlyWhenEightIsPicked) {
  ShownPage<D> shown;
  D& page = shown.page;
  auto* list = control<QTableWidget>(&page, D::kIdList);
  auto* dataBits = control<QComboBox>(&page, D::kIdDataBits);
  // Port 1 has 7 data bits, odd parity; port 2 has 8.
  const Bytes image = imageOf({dataPort(1, 0x72, 0x0D), dataPort(2, 0x80, 0x0D)});
  loadImage(page, image);
  EXPECT_EQ(dataBits->currentIndex(), -1);
  EXPECT_EQ(dataBits->placeholderText(), "7");
  clickRow(list, 1);  // looking at the other port and storing (a tab change) rewrites nothing
  clickRow(list, 0);
  EXPECT_EQ(storeImage(page, image), image);
  // Picking the only entry the page offers is an edit: the port becomes 8 bits.
  dataBits->setCurrentIndex(0);
  EXPECT_EQ(rowTexts(list, 0)[2], "8");
  EXPECT_EQ(storeImage(page, image), imageOf({dataPort(1, 0x82, 0x0D), dataPort(2, 0x80, 0x0D)}));
}

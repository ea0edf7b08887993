#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>

#include "pages/dialog_net_server.h"
#include "tests/pages/page_widget_helpers.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using namespace velmora::testing;
using D = DialogNetServer;

namespace {
ConfigUnit serverUnit(uint8_t index, uint16_t port, uint32_t flags) {
  return {0x03, index, static_cast<uint8_t>(port >> 8), static_cast<uint8_t>(port), static_cast<uint8_t>(flags >> 24),
          static_cast<uint8_t>(flags >> 16), static_cast<uint8_t>(flags >> 8), static_cast<uint8_t>(flags)};
}

void expectParametersEnabled(D& page, bool enabled) {
  for (int id = D::kIdPort; id <= D::kIdTemporaryPackets; ++id) EXPECT_EQ(control(&page, id)->isEnabled(), enabled) << id;
  EXPECT_EQ(control(&page, D::kIdDelete)->isEnabled(), enabled);
}
}  // namespace

// The list's rules are server_port_records_test's; here the controls
// following the selection, the port edit's keystrokes and the boxes.
TEST(DialogNetServerWindow, AddsEditsAndDeletesFollowTheSelectedEntry) {
  UiRecorder::reset();
  ShownPage<D> shown;
  D& page = shown.page;
  auto* list = control<QTableWidget>(&page, D::kIdList);
  expectParametersEnabled(page, false);
  EXPECT_TRUE(control(&page, D::kIdProgramDownload)->isHidden());
  for (int i = 0; i < 3; ++i) QTest::mouseClick(control<QPushButton>(&page, D::kIdAdd), Qt::LeftButton);
  EXPECT_EQ(rowTexts(list, 2), (QStringList{"3002", "无协议"}));
  EXPECT_EQ(selectedRow(list), 2);
  expectParametersEnabled(page, true);

  // Every keystroke that makes a valid port updates the entry.
  auto* port = control<QLineEdit>(&page, D::kIdPort);
  retype(&page, D::kIdPort, "80x");  // digits only
  EXPECT_EQ(port->text(), "80");
  EXPECT_EQ(list->item(2, 0)->text(), "80");
  retype(&page, D::kIdPort, "65536");
  EXPECT_EQ(list->item(2, 0)->text(), "6553");  // the last keystroke made it too big
  control<QRadioButton>(&page, D::kIdProtocol55)->click();
  control<QRadioButton>(&page, D::kIdModbusTcp)->click();
  control<QCheckBox>(&page, D::kIdTemporaryPackets)->click();
  EXPECT_FALSE(control<QRadioButton>(&page, D::kIdProtocol55)->isChecked());
  EXPECT_EQ(list->item(2, 1)->text(), "Modbus TCP协议 临时数据包");
  EXPECT_EQ(storeImage(page), imageOf({serverUnit(0, 3000, 0), serverUnit(1, 3001, 0), serverUnit(2, 6553, 0x14)}));

  clickRow(list, 1);
  EXPECT_EQ(port->text(), "3001");
  control<QPushButton>(&page, D::kIdDelete)->click();
  EXPECT_EQ(port->text(), "6553");
  for (int i = 0; i < 2; ++i) control<QPushButton>(&page, D::kIdDelete)->click();
  expectParametersEnabled(page, false);
  EXPECT_TRUE(port->text().isEmpty());
  EXPECT_TRUE(control<QRadioButton>(&page, D::kIdNoProtocol)->isChecked());
  EXPECT_FALSE(control<QRadioButton>(&page, D::kIdModbusTcp)->isChecked());
  EXPECT_TRUE(UiRecorder::messages().isEmpty());
  // The command without a selection (the button is disabled then) refuses with a message.
  page.deleteEntry();
  EXPECT_EQ(UiRecorder::messages(), QStringList{"请先在列表中选择要删除的条目"});
  for (int i = 0; i < 33; ++i) control<QPushButton>(&page, D::kIdAdd)->click();
  EXPECT_EQ(list->rowCount(), 32);
  EXPECT_EQ(UiRecorder::messages().last(), QStringLiteral("已达到最大端口数量 (32)"));
}

// Bits 0 to 2 all set: three of the radio buttons show checked at once, and
// the hidden program-download box carries bit 3 through a port edit.
TEST(DialogNetServerWindow, LoadedBitsShowIndependentlyAndTheHiddenBitSurvivesAnEdit) {
  ShownPage<D> shown;
  D& page = shown.page;
  const Bytes image = imageOf({serverUnit(0, 3000, 0x0F), serverUnit(1, 80, 0)});
  loadImage(page, image);
  EXPECT_EQ(selectedRow(control<QTableWidget>(&page, D::kIdList)), 0);
  EXPECT_FALSE(control<QRadioButton>(&page, D::kIdNoProtocol)->isChecked());
  for (int id : {D::kIdProtocol55, D::kIdModbusRtu, D::kIdModbusTcp, D::kIdProgramDownload})
    EXPECT_TRUE(control<QAbstractButton>(&page, id)->isChecked()) << id;
  auto* port = control<QLineEdit>(&page, D::kIdPort);
  port->setFocus();
  QTest::keyClick(port, Qt::Key_End);
  QTest::keyClick(port, Qt::Key_Backspace);
  EXPECT_EQ(storeImage(page, image), imageOf({serverUnit(0, 300, 0x0F), serverUnit(1, 80, 0)}));
  loadImage(page, {});
  EXPECT_EQ(control<QTableWidget>(&page, D::kIdList)->rowCount(), 0);
  expectParametersEnabled(page, false);
}

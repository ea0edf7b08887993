// The strip's own wiring: labels, buttons, progress bar, message box and
// real timers. What the engine decides is tested in transfer_engine_test.
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "protocol/dialog_configuration.h"
#include "tests/protocol/transfer_fakes.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using namespace velmora::testing;

namespace {

class DialogConfigurationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UiRecorder::reset();
    panel = std::make_unique<DialogConfiguration>(nullptr, &side);  // side: connection page, main window, log
    panel->setMainWindow(&side);
    panel->setConnectionPage(&side);
    panel->start();
    panel->resize(688, 110);  // the narrowest main window (700) less its margins
  }
  QString text(int id) const { return panel->findChild<QLabel*>(QString::number(id))->text(); }
  QPushButton* button(int id) const { return panel->findChild<QPushButton*>(QString::number(id)); }
  int progress() const { return panel->findChild<QProgressBar*>("1015")->value(); }
  void feed(const Bytes& bytes) {
    for (uint8_t b : bytes) panel->receiveByte(b);
  }

  RecordingSide side;
  std::unique_ptr<DialogConfiguration> panel;
};

}  // namespace

TEST_F(DialogConfigurationTest, ShowsTheEngineAndItsButtonsDriveIt) {
  EXPECT_EQ(text(1011), "未连接");
  EXPECT_EQ(text(1014), "空闲");
  EXPECT_EQ(button(1012)->text(), "读取配置");
  EXPECT_EQ(button(1013)->text(), "下发配置");
  // The main window is a dialog: Enter must not press a transfer button.
  EXPECT_FALSE(button(1012)->autoDefault() || button(1013)->autoDefault());
  EXPECT_EQ(side.logs, Lines{"配置面板初始化完成"});
  EXPECT_FALSE(button(1012)->isEnabled() || button(1013)->isEnabled());
  QTest::mouseClick(button(1012), Qt::LeftButton);
  EXPECT_TRUE(side.sent.empty());

  // The address report's stamp is the local time of day.
  feed({0x22, 0x05, 0x40, 0x00, 0x00, 0x00, 0x00, 0x67});
  EXPECT_EQ(side.addressText, "005");
  EXPECT_EQ(side.addressMessage.size(), 8 + std::string(" 收到地址更新：005").size());
  EXPECT_EQ(side.addressMessage.substr(8), " 收到地址更新：005");

  panel->setLinkState(true, "串口已打开：/dev/pts/3 (9600,8,0,0)");
  EXPECT_EQ(text(1011), "串口已打开：/dev/pts/3 (9600,8,0,0)");
  button(1012)->click();
  EXPECT_EQ(text(1014), "正在读取配置...");
  EXPECT_FALSE(button(1013)->isEnabled());
  ASSERT_EQ(side.sent.size(), 2u);
  const Bytes envelope = buildEnvelope(patternBytes(48).data(), 48);
  feed(dataResponse(1, 0, 2, slice(envelope, 0, 50)));
  EXPECT_EQ(progress(), 50);
  feed(dataResponse(1, 1, 2, slice(envelope, 50, 6)));
  EXPECT_EQ(progress(), 100);
  EXPECT_EQ(text(1014), "读取完成");
  EXPECT_EQ(side.image, patternBytes(48));

  side.addressBox = 9;
  button(1013)->click();
  EXPECT_EQ(side.gathers, 1);
  EXPECT_FALSE(button(1012)->isEnabled());
  ASSERT_EQ(side.sent.size(), 5u);
  EXPECT_EQ(side.sent[4][0], 9);
  panel->engine().startRead();  // a refusal is a message box
  EXPECT_EQ(UiRecorder::messages(), QStringList{"正在执行其他操作，请稍后"});

  panel->setLinkState(false, "TCP连接已断开");
  EXPECT_FALSE(button(1012)->isEnabled() || button(1013)->isEnabled());
  EXPECT_EQ(text(1011), "TCP连接已断开");
  EXPECT_EQ(text(1014), "下发中断");
  EXPECT_EQ(progress(), 0);
}

TEST_F(DialogConfigurationTest, ReadWatchdogFiresOnTheRealTimer) {
  panel->setLinkState(true, "TCP已连接：127.0.0.1:6000");
  button(1012)->click();
  feed(dataResponse(1, 0, 3, {1, 2, 3}));
  EXPECT_EQ(progress(), 33);
  // Nothing more arrives: 2 s after the last request the panel resets.
  QTRY_COMPARE_WITH_TIMEOUT(text(1014), QString("空闲"), 5000);
  EXPECT_EQ(side.logs.back(), "读取配置超时，复位");
  EXPECT_EQ(progress(), 0);
  EXPECT_TRUE(button(1013)->isEnabled());
}

TEST_F(DialogConfigurationTest, ControlsFitTheStrip) {
  panel->setLinkState(true, "串口已打开：/dev/ttyUSB0 (115200,8,0,0)");
  panel->show();
  QApplication::processEvents();
  for (int id : {1011, 1012, 1013, 1014, 1015}) {
    QWidget* w = panel->findChild<QWidget*>(QString::number(id));
    ASSERT_NE(w, nullptr) << id;
    EXPECT_TRUE(panel->rect().contains(w->geometry())) << id;
    EXPECT_GE(w->height(), w->minimumSizeHint().height()) << id;
  }
  const QByteArray shot = qgetenv("VELMORA_SHOT");
  if (!shot.isEmpty()) panel->grab().save(QString::fromLocal8Bit(shot));
}

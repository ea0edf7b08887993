// The strip's own wiring: labels, buttons, progress bar, real timers and
// layout. What the engine decides is tested in transfer_engine_test.
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

TEST_F(DialogConfigurationTest, ShowsTheEngineAndItsButtonsAndTimerDriveIt) {
  EXPECT_EQ(text(1011), "未连接");
  EXPECT_EQ(text(1014), "空闲");
  EXPECT_EQ(button(1012)->text(), "读取配置");
  EXPECT_EQ(button(1013)->text(), "下发配置");
  // The main window is a dialog: Enter must not press a transfer button.
  EXPECT_FALSE(button(1012)->autoDefault() || button(1013)->autoDefault());
  EXPECT_EQ(side.logs, Lines{"配置面板初始化完成"});
  EXPECT_FALSE(button(1012)->isEnabled() || button(1013)->isEnabled());

  panel->setLinkState(true, "TCP已连接：127.0.0.1:6000");
  EXPECT_EQ(text(1011), "TCP已连接：127.0.0.1:6000");
  button(1012)->click();
  EXPECT_EQ(text(1014), "正在读取配置...");
  EXPECT_TRUE(button(1012)->isEnabled() && !button(1013)->isEnabled());
  ASSERT_EQ(side.sent.size(), 2u);
  feed(dataResponse(1, 0, 3, {1, 2, 3}));
  EXPECT_EQ(progress(), 33);
  EXPECT_EQ(side.sent.size(), 3u);
  // Nothing more arrives: 2 s after the last request the watchdog resets the panel.
  QTRY_COMPARE_WITH_TIMEOUT(text(1014), QString("空闲"), 5000);
  EXPECT_EQ(progress(), 0);

  button(1013)->click();
  EXPECT_EQ(side.gathers, 1) << "the write button starts a write";
  EXPECT_EQ(text(1014), "正在下发配置...");
  EXPECT_TRUE(!button(1012)->isEnabled() && button(1013)->isEnabled()) << "读取配置 waits while a write runs";
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
}

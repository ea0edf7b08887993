#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "protocol/dialog_configuration.h"
#include "tests/protocol/transfer_fakes.h"
#include "tests/support/ui_recorder.h"

using namespace velmora;
using velmora::testing::Bytes;
using velmora::testing::UiRecorder;

namespace {

// The connection page's side: remembers what was sent, nothing goes anywhere.
class FakeLink : public DeviceLink {
 public:
  bool sendBytes(const uint8_t* data, int32_t length) override {
    sent.emplace_back(data, data + length);
    return sendOk;
  }
  uint8_t addressBoxValue() const override { return address; }
  void showAddressReport(const std::string& a, const std::string& m) override {
    addressText = a;
    addressMessage = m;
  }
  std::vector<Bytes> sent;
  bool sendOk = true;
  uint8_t address = 1;
  std::string addressText, addressMessage;
};

class FakeMainWindow : public ImageHost, public LogSink {
 public:
  void loadImage(const uint8_t* data, int32_t length) override {
    image = length > 0 ? Bytes(data, data + length) : Bytes{};
    ++loads;
  }
  bool gatherCurrentPage() override {
    ++gathers;
    return true;
  }
  const std::vector<uint8_t>& configImage() const override { return image; }
  void logMessage(const std::string& text) override { logs.push_back(text); }
  Bytes image;
  int loads = 0, gathers = 0;
  std::vector<std::string> logs;
};

class DialogConfigurationTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UiRecorder::reset();
    panel = std::make_unique<DialogConfiguration>(nullptr, &window);
    panel->setMainWindow(&window);
    panel->setConnectionPage(&link);
    panel->start();
    panel->resize(688, 110);  // the narrowest main window (700) less its margins
  }
  QString text(int id) const { return panel->findChild<QLabel*>(QString::number(id))->text(); }
  QPushButton* button(int id) const { return panel->findChild<QPushButton*>(QString::number(id)); }
  int progress() const { return panel->findChild<QProgressBar*>("1015")->value(); }
  void feed(const Bytes& bytes) {
    for (uint8_t b : bytes) panel->receiveByte(b);
  }

  FakeLink link;
  FakeMainWindow window;
  std::unique_ptr<DialogConfiguration> panel;
};

}  // namespace

TEST_F(DialogConfigurationTest, StartUpStateAndButtonsFollowLinkAndOperation) {
  EXPECT_EQ(text(1011), "未连接");
  EXPECT_EQ(text(1014), "空闲");
  EXPECT_EQ(button(1012)->text(), "读取配置");
  EXPECT_EQ(button(1013)->text(), "下发配置");
  EXPECT_FALSE(button(1012)->autoDefault());
  EXPECT_FALSE(button(1013)->autoDefault());
  EXPECT_EQ(progress(), 0);
  EXPECT_EQ(panel->findChild<QProgressBar*>("1015")->maximum(), 100);
  EXPECT_EQ(window.logs, std::vector<std::string>{"配置面板初始化完成"});
  EXPECT_FALSE(button(1012)->isEnabled());
  EXPECT_FALSE(button(1013)->isEnabled());

  // A disabled button does nothing when clicked.
  QTest::mouseClick(button(1012), Qt::LeftButton);
  EXPECT_TRUE(link.sent.empty());

  panel->setLinkState(true, "TCP已连接：127.0.0.1:6000");
  EXPECT_EQ(text(1011), "TCP已连接：127.0.0.1:6000");
  EXPECT_TRUE(button(1012)->isEnabled());
  EXPECT_TRUE(button(1013)->isEnabled());

  button(1013)->click();
  EXPECT_FALSE(button(1012)->isEnabled());
  EXPECT_TRUE(button(1013)->isEnabled());
  // The engine refuses the read even when asked without the button.
  panel->engine().startRead();
  EXPECT_EQ(UiRecorder::messages(), QStringList{"正在执行其他操作，请稍后"});

  panel->setLinkState(false, "TCP连接已断开");
  EXPECT_FALSE(button(1012)->isEnabled());
  EXPECT_FALSE(button(1013)->isEnabled());
  EXPECT_EQ(text(1011), "TCP连接已断开");
  EXPECT_EQ(text(1014), "下发中断");  // the link loss ends the write, not its watchdog
  panel->engine().startWrite();
  EXPECT_EQ(UiRecorder::messages().back(), "请先连接设备");
}

TEST_F(DialogConfigurationTest, CompleteReadDrivenByDeviceReplies) {
  panel->setLinkState(true, "串口已打开：/dev/pts/3 (9600,8,0,0)");
  const Bytes image = velmora::testing::patternBytes(48);
  const Bytes envelope = buildEnvelope(image.data(), 48);

  button(1012)->click();
  EXPECT_EQ(text(1014), "正在读取配置...");
  EXPECT_TRUE(button(1012)->isEnabled());
  EXPECT_FALSE(button(1013)->isEnabled());
  ASSERT_EQ(link.sent.size(), 2u);
  EXPECT_EQ(link.sent[0].size(), 20u);
  EXPECT_EQ(link.sent[1], (Bytes{0x01, 0x69, 0x00, 0x32, 0x00, 0x00, 0xFC, 0x0C}));

  feed(velmora::testing::dataResponse(1, 0, 2, velmora::testing::slice(envelope, 0, 50)));
  EXPECT_EQ(progress(), 50);
  ASSERT_EQ(link.sent.size(), 3u);
  EXPECT_EQ(link.sent[2], (Bytes{0x01, 0x69, 0x00, 0x32, 0x00, 0x01, 0x3D, 0xCC}));

  feed(velmora::testing::dataResponse(1, 1, 2, velmora::testing::slice(envelope, 50, 6)));
  EXPECT_EQ(progress(), 100);
  EXPECT_EQ(text(1014), "读取完成");
  EXPECT_EQ(window.loads, 1);
  EXPECT_EQ(window.image, image);
  EXPECT_TRUE(button(1012)->isEnabled());
  EXPECT_TRUE(button(1013)->isEnabled());
  EXPECT_EQ(window.logs.back(), "读取配置完成，共 2 包，56 字节");
  EXPECT_TRUE(UiRecorder::messages().isEmpty());
}

TEST_F(DialogConfigurationTest, CompleteWriteDrivenByAcknowledgements) {
  panel->setLinkState(true, "TCP已连接：127.0.0.1:6000");
  window.image = velmora::testing::patternBytes(43);
  link.address = 9;

  button(1013)->click();
  EXPECT_EQ(window.gathers, 1);
  EXPECT_EQ(text(1014), "正在下发配置...");
  EXPECT_FALSE(button(1012)->isEnabled());
  ASSERT_EQ(link.sent.size(), 2u);
  EXPECT_EQ(link.sent[1].size(), 63u);
  EXPECT_EQ(link.sent[1][0], 9);

  feed(velmora::testing::writeAck(9, 0));
  EXPECT_EQ(progress(), 50);
  ASSERT_EQ(link.sent.size(), 3u);
  EXPECT_EQ(link.sent[2].size(), 14u);
  feed(velmora::testing::writeAck(9, 1));
  EXPECT_EQ(progress(), 100);
  EXPECT_EQ(text(1014), "下发完成");
  EXPECT_EQ(window.logs.back(), "下发配置完成");
  EXPECT_TRUE(button(1012)->isEnabled());
}

TEST_F(DialogConfigurationTest, ReadWatchdogFiresOnTheRealTimer) {
  panel->setLinkState(true, "TCP已连接：127.0.0.1:6000");
  button(1012)->click();
  feed(velmora::testing::dataResponse(1, 0, 3, {1, 2, 3}));
  EXPECT_EQ(progress(), 33);
  EXPECT_EQ(text(1014), "正在读取配置...");
  // Nothing more arrives: 2 s after the last request the panel resets.
  QTRY_COMPARE_WITH_TIMEOUT(text(1014), QString("空闲"), 5000);
  EXPECT_EQ(window.logs.back(), "读取配置超时，复位");
  EXPECT_EQ(progress(), 0);
  EXPECT_TRUE(button(1013)->isEnabled());
  EXPECT_EQ(panel->engine().fields().readTimer, 0);
}

TEST_F(DialogConfigurationTest, AddressReportReachesTheConnectionPage) {
  feed({0x22, 0x05, 0x40, 0x00, 0x00, 0x00, 0x00, 0x67});
  EXPECT_EQ(link.addressText, "005");
  // hh:mm:ss of the local time, then the text.
  EXPECT_EQ(link.addressMessage.size(), 8 + std::string(" 收到地址更新：005").size());
  EXPECT_EQ(link.addressMessage.substr(8), " 收到地址更新：005");
  EXPECT_EQ(window.logs.back(), "读取设备地址成功: 05");
}

TEST_F(DialogConfigurationTest, WorksWithoutLinksAndStopsTimersWhenDestroyed) {
  DialogConfiguration lonely;
  lonely.start();  // nothing to log to: the line is dropped
  lonely.setLinkState(true, "x");
  lonely.engine().startWrite();
  EXPECT_EQ(UiRecorder::messages(), QStringList{"未找到主窗口"});
  lonely.engine().startRead();  // no connection page: the request cannot go
  EXPECT_EQ(lonely.findChild<QLabel*>("1014")->text(), "空闲");
  EXPECT_EQ(lonely.engine().fields().readTimer, kReadTimerId);

  // Destroying a panel with an armed watchdog must leave nothing behind to fire.
  panel->setLinkState(true, "x");
  button(1012)->click();
  panel.reset();
  QTest::qWait(10);
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

// The fault matrix: the simulated device misbehaves once, over TCP or over
// the pty, during a read or a write. Each case ends in the state the
// transfer rules give, the window keeps reacting, and a fresh transfer
// afterwards succeeds.
#include <QAbstractButton>
#include <gtest/gtest.h>

#include "app/main_dialog.h"
#include "tests/e2e/device_fixture_qt.h"
#include "tests/support/ui_recorder.h"

using namespace std::chrono_literals;

namespace velmora::e2e {
namespace {

enum class Operation { Read, Write };

// What the link is once the fault has played out.
enum class LinkAfter {
  Up,         // still connected
  Down,       // the device hung up; the window saw it
  SerialLost  // the pty vanished; the serial channel reported it
};

struct FaultCase {
  const char* name;
  Transport transport;
  Operation operation;
  std::vector<std::string> faults;  // velmora-devsim options
  // Log lines (each given by its start) that appear after the button, in this order.
  std::vector<std::string> expect;
  // Lines that must not appear.
  std::vector<std::string> never;
  const char* finalState;
  int finalProgress;
  LinkAfter link;
  // When set: the line after which the transfer waits for its watchdog;
  // the strip must still show the transfer running there.
  const char* stallLine = nullptr;
};

// The image the window starts with (one data port, five register groups)
// travels in an envelope of 56 bytes: two write packets, 50 and 6 bytes.
std::vector<FaultCase> faultCases() {
  std::vector<FaultCase> cases;
  for (Transport t : {Transport::Tcp, Transport::Pty}) {
    const bool tcp = t == Transport::Tcp;
    cases.push_back({"DroppedResponse", t, Operation::Read, {"--drop", "2"},
                     {"收到配置数据包 1/3, 数据长度 50", "发送读取配置请求: 包 1", "读取配置超时，复位"},
                     {"收到配置数据包 2/3"}, "空闲", 0, LinkAfter::Up, "发送读取配置请求: 包 1"});
    cases.push_back({"CorruptedCrc", t, Operation::Read, {"--corrupt", "2"},
                     {"收到配置数据包 1/3, 数据长度 50", "发送读取配置请求: 包 1", "读取配置超时，复位"},
                     {"收到配置数据包 2/3", "接收到无效帧"}, "空闲", 0, LinkAfter::Up});
    // The copy arrives while packet 1 is expected: logged and dropped, and
    // the read goes on to the end.
    cases.push_back({"DuplicatedResponse", t, Operation::Read, {"--duplicate", "1"},
                     {"收到配置数据包 1/3, 数据长度 50", "发送读取配置请求: 包 1", "收到乱序包: 期望 1, 实际 0",
                      "收到配置数据包 2/3, 数据长度 50", "读取配置完成，共 3 包，128 字节"},
                     {"读取配置超时，复位"}, "读取完成", 100, LinkAfter::Up});
    // The late answer turns up after the reset, when no transfer runs.
    cases.push_back({"ResponseLaterThanTheWatchdog", t, Operation::Read, {"--delay", "2:3000"},
                     {"发送读取配置请求: 包 1", "读取配置超时，复位", "收到未知响应: 01 69 36 00 01 00 03 00 …… 长度 59"},
                     {"收到配置数据包 2/3"}, "空闲", 0, LinkAfter::Up});
    cases.push_back({"AnswerFromAnotherAddress", t, Operation::Read, {"--reply-address", "1:9"},
                     {"发送读取配置请求: 包 0", "读取配置超时，复位"}, {"总包数", "收到未知响应"}, "空闲", 0,
                     LinkAfter::Up});
    // Far more than the receive buffer holds, then the answer behind it.
    cases.push_back({"GarbageFlood", t, Operation::Read, {"--garbage", "1:65536"},
                     {"串口接收缓冲区溢出，已清空", "读取配置超时，复位"}, {"总包数"}, "空闲", 0, LinkAfter::Up});
    cases.push_back({"DroppedAcknowledgement", t, Operation::Write, {"--drop", "1"},
                     {"开始下发配置，共 2 包，56 字节", "发送配置数据包 1/2, 数据长度 50", "下发配置超时，复位"},
                     {"收到写入确认"}, "空闲", 0, LinkAfter::Up, "发送配置数据包 1/2, 数据长度 50"});
    cases.push_back({"DuplicatedAcknowledgement", t, Operation::Write, {"--duplicate", "1"},
                     {"收到写入确认: 包 0", "发送配置数据包 2/2, 数据长度 6", "收到乱序确认: 期望 1, 实际 0",
                      "收到写入确认: 包 1", "下发配置完成"},
                     {"下发配置超时，复位"}, "下发完成", 100, LinkAfter::Up});
    // The device ends the link once the second answer of a read, or the
    // first acknowledgement of a write, is out. Over the pty this is an
    // adapter pulled out. Either way the transfer ends with the link, not
    // at its watchdog.
    cases.push_back({"ClosedDuringRead", t, Operation::Read, {"--close-after", "2"},
                     tcp ? std::vector<std::string>{"收到配置数据包 2/3, 数据长度 50", "读取配置中断，连接已断开",
                                                    "TCP连接已断开"}
                         : std::vector<std::string>{"收到配置数据包 2/3, 数据长度 50", "串口意外断开: ",
                                                    "读取配置中断，连接已断开"},
                     {"收到配置数据包 3/3", "读取配置超时，复位"}, "读取中断", 0,
                     tcp ? LinkAfter::Down : LinkAfter::SerialLost});
    cases.push_back({"ClosedDuringWrite", t, Operation::Write, {"--close-after", "1"},
                     tcp ? std::vector<std::string>{"收到写入确认: 包 0", "下发配置中断，连接已断开", "TCP连接已断开"}
                         : std::vector<std::string>{"收到写入确认: 包 0", "串口意外断开: ", "下发配置中断，连接已断开"},
                     {"下发配置完成", "下发配置超时，复位"}, "下发中断", 0,
                     tcp ? LinkAfter::Down : LinkAfter::SerialLost});
  }
  return cases;
}

// Names the case in failure reports instead of dumping its bytes.
void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name << " over " << transportName(c.transport); }

class FaultWindowTest : public ::testing::TestWithParam<FaultCase>, protected DeviceFixture {
 protected:
  void SetUp() override { setUpFixture(); }
  void TearDown() override { tearDownFixture(HasFailure()); }
};

TEST_P(FaultWindowTest, EndsAsRuledThenRecovers) {
  const FaultCase& c = GetParam();
  startDevice(c.faults);
  if (HasFatalFailure()) return;
  connectOver(c.transport);
  if (HasFatalFailure()) return;
  LogJournal& log = ui->log();
  const bool reading = c.operation == Operation::Read;
  const Bytes written = ui->window().configImage();

  const size_t from = log.mark();
  if (reading)
    ui->pressRead();
  else
    ui->pressWrite();

  if (c.stallLine != nullptr) {
    ASSERT_TRUE(WindowDriver::waitFor([&] { return log.has(c.stallLine, from); }, 3s)) << log.tail();
    EXPECT_EQ(ui->stateText(), reading ? QStringLiteral("正在读取配置...") : QStringLiteral("正在下发配置..."));
    // The running transfer keeps its own button and locks out the other.
    EXPECT_EQ(ui->readEnabled(), reading);
    EXPECT_EQ(ui->writeEnabled(), !reading);
    EXPECT_TRUE(ui->responsive());
  }

  // Every expected line, in order; the last one ends the wait.
  size_t at = from;
  for (const std::string& line : c.expect) {
    int found = -1;
    const bool seen = WindowDriver::waitFor(
        [&] {
          for (size_t i = at; i < log.lines().size() && found < 0; ++i)
            if (log.lines()[i].compare(0, line.size(), line) == 0) found = static_cast<int>(i);
          return found >= 0;
        },
        6s);
    ASSERT_TRUE(seen) << "no line starting \"" << line << "\" in order\n" << log.tail();
    at = static_cast<size_t>(found) + 1;
  }
  // Late arrivals would show up here.
  WindowDriver::pump(150ms);
  for (const std::string& line : c.never) EXPECT_FALSE(log.hasPrefix(line, from)) << line << "\n" << log.tail();

  EXPECT_EQ(ui->stateText(), QString::fromUtf8(c.finalState));
  EXPECT_EQ(ui->progress(), c.finalProgress);
  const bool linked = c.link == LinkAfter::Up;
  EXPECT_EQ(ui->readEnabled(), linked);
  EXPECT_EQ(ui->writeEnabled(), linked);
  EXPECT_EQ(ui->connectCaption(), linked ? QStringLiteral("断开") : QStringLiteral("连接"));
  if (c.link == LinkAfter::Down) {
    EXPECT_EQ(ui->connectStatus(), QStringLiteral("TCP连接断开"));
    EXPECT_EQ(ui->panelStatus(), QStringLiteral("TCP连接已断开"));
  }
  if (c.link == LinkAfter::SerialLost) {
    EXPECT_EQ(ui->connectStatus(), QStringLiteral("串口已断开"));
    EXPECT_EQ(ui->panelStatus(), QStringLiteral("串口已断开"));
  }
  const bool wrote = c.finalState == std::string("下发完成");
  if (wrote) {
    EXPECT_EQ(device->savedImage(), written);
  } else if (!reading) {
    EXPECT_FALSE(device->savedImage().has_value()) << "the device took an image the tool gave up on";
  }
  EXPECT_TRUE(testing::UiRecorder::messages().isEmpty()) << testing::UiRecorder::messages().join("; ").toStdString();
  EXPECT_TRUE(ui->responsive());

  // Recovery the way a user goes about it; the pty is gone, the device
  // still serves TCP.
  if (c.link != LinkAfter::Up) connectOver(Transport::Tcp);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->readConfiguration()) << log.tail();
  const Bytes held = wrote ? written : sampleImage();
  EXPECT_EQ(ui->window().configImage(), held);
  if (!reading) {
    ASSERT_TRUE(ui->writeConfiguration()) << log.tail();
    EXPECT_EQ(device->savedImage(), held);
  }
}

INSTANTIATE_TEST_SUITE_P(Matrix, FaultWindowTest, ::testing::ValuesIn(faultCases()),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                           return std::string(info.param.name) + "Over" + transportName(info.param.transport);
                         });

}  // namespace
}  // namespace velmora::e2e

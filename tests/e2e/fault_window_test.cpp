// The simulated device misbehaves once during a read or a write. Each case
// ends in the state the transfer rules give, the window keeps reacting, and
// a fresh transfer afterwards succeeds.
#include <gtest/gtest.h>

#include "app/main_dialog.h"
#include "tests/e2e/window_driver_qt.h"
#include "tests/support/ui_recorder.h"

using namespace std::chrono_literals;

namespace velmora::e2e {
namespace {

enum class Operation { Read, Write };

struct FaultCase {
  const char* name;
  Transport transport;
  Operation operation;
  std::vector<std::string> faults;  // velmora-devsim options
  // Log lines (each given by its start) that appear after the button, in this order.
  std::vector<std::string> expect;
  std::vector<std::string> never;  // lines that must not appear
  const char* finalState;
  int finalProgress;
  bool linkLost = false;  // the device hung up (TCP)
  // When set: the line after which the transfer waits for its watchdog;
  // the strip must still show the transfer running there.
  const char* stallLine = nullptr;
};

// Each fault once, the transports taken in turn; tests/protocol checks each
// rule on both kinds of link. A pty that goes away is in transfer_window_test.
// The window's own image (one data port, five register groups) is an
// envelope of 56 bytes: two write packets, 50 and 6 bytes.
const FaultCase kCases[] = {
    {"DroppedResponse", Transport::Pty, Operation::Read, {"--drop", "2"},
     {"收到配置数据包 1/3, 数据长度 50", "发送读取配置请求: 包 1", "读取配置超时，复位"},
     {"收到配置数据包 2/3"}, "空闲", 0, false, "发送读取配置请求: 包 1"},
    {"CorruptedCrc", Transport::Tcp, Operation::Read, {"--corrupt", "2"},
     {"收到配置数据包 1/3, 数据长度 50", "发送读取配置请求: 包 1", "读取配置超时，复位"},
     {"收到配置数据包 2/3", "接收到无效帧"}, "空闲", 0},
    // The copy arrives while packet 1 is expected: logged and dropped, and
    // the read goes on to the end.
    {"DuplicatedResponse", Transport::Pty, Operation::Read, {"--duplicate", "1"},
     {"收到配置数据包 1/3, 数据长度 50", "发送读取配置请求: 包 1", "收到乱序包: 期望 1, 实际 0",
      "收到配置数据包 2/3, 数据长度 50", "读取配置完成，共 3 包，128 字节"},
     {"读取配置超时，复位"}, "读取完成", 100},
    // The late answer turns up after the reset, when no transfer runs.
    {"ResponseLaterThanTheWatchdog", Transport::Tcp, Operation::Read, {"--delay", "2:3000"},
     {"发送读取配置请求: 包 1", "读取配置超时，复位", "收到未知响应: 01 69 36 00 01 00 03 00 …… 长度 59"},
     {"收到配置数据包 2/3"}, "空闲", 0},
    {"AnswerFromAnotherAddress", Transport::Tcp, Operation::Read, {"--reply-address", "1:9"},
     {"发送读取配置请求: 包 0", "读取配置超时，复位"}, {"总包数", "收到未知响应"}, "空闲", 0},
    // Far more than the receive buffer holds, then the answer behind it.
    {"GarbageFlood", Transport::Pty, Operation::Read, {"--garbage", "1:65536"},
     {"串口接收缓冲区溢出，已清空", "读取配置超时，复位"}, {"总包数"}, "空闲", 0},
    {"DroppedAcknowledgement", Transport::Tcp, Operation::Write, {"--drop", "1"},
     {"开始下发配置，共 2 包，56 字节", "发送配置数据包 1/2, 数据长度 50", "下发配置超时，复位"},
     {"收到写入确认"}, "空闲", 0, false, "发送配置数据包 1/2, 数据长度 50"},
    {"DuplicatedAcknowledgement", Transport::Pty, Operation::Write, {"--duplicate", "1"},
     {"收到写入确认: 包 0", "发送配置数据包 2/2, 数据长度 6", "收到乱序确认: 期望 1, 实际 0", "收到写入确认: 包 1",
      "下发配置完成"},
     {"下发配置超时，复位"}, "下发完成", 100},
    // The device hangs up once the first acknowledgement is out: the write
    // ends with the link, not at its watchdog.
    {"ClosedDuringWrite", Transport::Tcp, Operation::Write, {"--close-after", "1"},
     {"收到写入确认: 包 0", "下发配置中断，连接已断开", "TCP连接已断开"}, {"下发配置完成", "下发配置超时，复位"},
     "下发中断", 0, true},
};

// Names the case in failure reports instead of dumping its bytes.
void PrintTo(const FaultCase& c, std::ostream* out) { *out << c.name << " over " << transportName(c.transport); }

using FaultWindowTest = DeviceParamTest<FaultCase>;

TEST_P(FaultWindowTest, EndsAsRuledThenRecovers) {
  const FaultCase& c = GetParam();
  if (!startAndConnect(c.transport, c.faults)) return;
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
    ASSERT_TRUE(WindowDriver::waitFor([&] { return (found = log.indexOf(line, at, true)) >= 0; }, 6s))
        << "no line starting \"" << line << "\" in order\n" << log.tail();
    at = static_cast<size_t>(found) + 1;
  }
  // Late arrivals would show up here.
  WindowDriver::pump(150ms);
  for (const std::string& line : c.never) EXPECT_FALSE(log.hasPrefix(line, from)) << line << "\n" << log.tail();

  EXPECT_EQ(ui->stateText(), QString::fromUtf8(c.finalState));
  EXPECT_EQ(ui->progress(), c.finalProgress);
  EXPECT_EQ(ui->readEnabled(), !c.linkLost);
  EXPECT_EQ(ui->writeEnabled(), !c.linkLost);
  EXPECT_EQ(ui->connectCaption(), c.linkLost ? QStringLiteral("连接") : QStringLiteral("断开"));
  if (c.linkLost) {
    EXPECT_EQ(ui->connectStatus(), QStringLiteral("TCP连接断开"));
    EXPECT_EQ(ui->panelStatus(), QStringLiteral("TCP连接已断开"));
  }
  const bool wrote = c.finalState == std::string("下发完成");
  if (wrote) {
    EXPECT_EQ(saved(), written);
  } else if (!reading) {
    EXPECT_FALSE(saved().has_value()) << "the device took an image the tool gave up on";
  }
  EXPECT_TRUE(testing::UiRecorder::messages().isEmpty()) << testing::UiRecorder::messages().join("; ").toStdString();
  EXPECT_TRUE(ui->responsive());

  // Recovery the way a user goes about it: no watchdog left over resets it.
  if (c.linkLost) connectOver(Transport::Tcp);
  if (HasFatalFailure()) return;
  ASSERT_TRUE(ui->readConfiguration()) << log.tail();
  const Bytes held = wrote ? written : sampleImage();
  EXPECT_EQ(ui->window().configImage(), held);
  if (!reading) {
    ASSERT_TRUE(ui->writeConfiguration()) << log.tail();
    EXPECT_EQ(saved(), held);
  }
}

INSTANTIATE_TEST_SUITE_P(Matrix, FaultWindowTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<FaultCase>& info) {
                           return std::string(info.param.name) + "Over" + transportName(info.param.transport);
                         });

}  // namespace
}  // namespace velmora::e2e

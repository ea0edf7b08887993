// velmora.exe under Wine on a private Xvfb display, driven from outside by
// velmora-drive.exe through the window's own messages, against the Linux
// velmora-devsim on 127.0.0.1. Run by the Windows build's ctest, which names
// the programs: VELMORA_EXE, VELMORA_DRIVE_EXE, VELMORA_WINE, WINEPREFIX,
// VELMORA_DEVSIM, and VELMORA_SETUP_EXE for the installer.
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "config/config_unit.h"
#include "diag/hex_view.h"
#include "diag/monitor_log.h"
#include "pages/holding_register_records.h"
#include "pages/page_tables.h"
#include "pages/serial_port_records.h"
#include "tests/support/child_process.h"
#include "tests/support/wine_test_helpers.h"
#include "tests/support/process_test_helpers.h"

using namespace velmora::testing;
using namespace std::chrono_literals;
using Bytes = std::vector<uint8_t>;
namespace fs = std::filesystem;

namespace {

// Wine's start (a few seconds once the prefix exists) and a 2 s watchdog
// fit well inside; only a hang meets these.
constexpr auto kLimit = 60s;
constexpr const char* kWaitMs = "20000";

struct Programs {
  std::string exe = env("VELMORA_EXE"), drive = env("VELMORA_DRIVE_EXE"), wine = env("VELMORA_WINE"),
              prefix = env("WINEPREFIX"), devsim = env("VELMORA_DEVSIM"), setup = env("VELMORA_SETUP_EXE");
  bool complete() const {
    return !exe.empty() && !drive.empty() && !wine.empty() && !prefix.empty() && !devsim.empty();
  }
};

const Programs& programs() {
  static const Programs p;
  return p;
}

// A private X display for the suite: Xvfb picks a free number and says it.
// A Wine session started on a display of its own (scripts/windows names it
// in VELMORA_WINE_DISPLAY) keeps its windows there: its desktop process
// took that display, and a second one would leave the windows without one.
class Display {
 public:
  bool start() {
    if (const std::string session = env("VELMORA_WINE_DISPLAY"); !session.empty()) {
      name_ = session;
      return true;
    }
    if (!server_.spawn("/bin/sh", {"-c", "exec Xvfb -displayfd 1 -screen 0 1600x1200x24 -nolisten tcp 2>/dev/null"}))
      return false;
    server_.collect(Clock::now() + 20s, [](const std::string& out) { return out.find('\n') != std::string::npos; });
    const std::string number = server_.out.substr(0, server_.out.find('\n'));
    if (number.empty()) return false;
    name_ = ":" + number;
    return true;
  }
  const std::string& name() const { return name_; }

 private:
  Child server_;  // ended by its destructor
  std::string name_;
};

Display* gDisplay = nullptr;

// velmora.exe for one test: output to files (Wine's desktop process would
// hold pipes open), the boxes answered yes and said on standard error, the
// file dialogs answered with fileAnswer.
class Window {
 public:
  Window(const TempDir& dir, const std::string& fileAnswer, const Args& options = {"--lang", "zh"},
         const std::string& exe = programs().exe)
      : dir_(dir) {
    child_.spawn("/bin/sh", underWine(programs().wine, exe, dir_ / "exe.out", dir_ / "exe.err",
                                      Args{"--answer-boxes", "yes", "--file-answer", windowsPath(fileAnswer)} +
                                          options));
  }
  ~Window() {
    if (!closed_) close();
  }
  // Runs velmora-drive.exe with these commands; its lines, and whether all went well.
  RunResult drive(const Args& commands) {
    std::string script;
    for (const std::string& word : commands) script += word + "\n";
    writeWholeFile(dir_ / "drive.txt", Bytes(script.begin(), script.end()));
    RunResult r = runToEnd("/bin/sh",
                           underWine(programs().wine, programs().drive, dir_ / "drive.out", "/dev/null",
                                     {"@" + windowsPath(dir_ / "drive.txt")}),
                           kLimit);
    r.out = fileText(dir_ / "drive.out");
    return r;
  }
  // The text of a control, by its id path.
  std::string text(const std::string& path) {
    const RunResult r = drive({"text", path});
    const size_t end = r.out.rfind("\n<end>\n");
    return end == std::string::npos ? "fail: " + r.out : r.out.substr(0, end);
  }
  int close() {
    closed_ = true;
    drive({"close"});
    return child_.reap(Clock::now() + kLimit);
  }
  std::string errors() const { return fileText(dir_ / "exe.err"); }

 private:
  const TempDir& dir_;
  Child child_;
  bool closed_ = false;
};

class WineWindow : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    if (!programs().complete()) return;
    gDisplay = new Display;
    if (!gDisplay->start()) return;
    ::setenv("DISPLAY", gDisplay->name().c_str(), 1);
  }
  static void TearDownTestSuite() {
    delete gDisplay;
    gDisplay = nullptr;
  }
  void SetUp() override {
    if (!programs().complete())
      GTEST_SKIP() << "VELMORA_EXE, VELMORA_DRIVE_EXE, VELMORA_WINE, WINEPREFIX and VELMORA_DEVSIM name the programs";
    ASSERT_TRUE(gDisplay != nullptr && !gDisplay->name().empty()) << "Xvfb did not start";
  }
};

// What a fresh window's pages store: the one data port, then the five
// holding-register groups (as registers holds them).
Bytes defaultImage(const velmora::HoldingRegisterRecords& registers = {}) {
  Bytes image(2048);
  int32_t length = 0;
  velmora::SerialPortRecords ports;
  ports.open();
  ports.store(image.data(), length, 2048, ports.showPort(0));
  registers.store(image.data(), length, 2048);
  image.resize(static_cast<size_t>(length));
  return image;
}

std::string pagePath(int slot, int control) { return "111/" + std::to_string(200 + slot) + "/" + std::to_string(control); }

// The window up, then connected over TCP to devsim's port on 127.0.0.1.
Args startAndConnect(int port) {
  return {"wait-window", kWaitMs, "wait-text", pagePath(7, 1031), "程序启动", kWaitMs, "check", pagePath(0, 2001),
          "set", pagePath(0, 2003), "127.0.0.1", "set", pagePath(0, 2004), std::to_string(port), "click",
          pagePath(0, 2011), "wait-text", "103/1011", "TCP已连接", kWaitMs};
}

// The lines of a saved text, each without its "\r\n"; a last line
// without one is a fault and stays marked as it is.
std::vector<std::string> crlfLines(const std::string& text) {
  std::vector<std::string> lines;
  size_t from = 0;
  while (from < text.size()) {
    const size_t end = text.find("\r\n", from);
    if (end == std::string::npos) {
      lines.push_back(text.substr(from) + "<no CRLF>");
      break;
    }
    lines.push_back(text.substr(from, end - from));
    from = end + 2;
  }
  return lines;
}

std::vector<std::string> tabbed(const std::string& line) {
  std::vector<std::string> columns;
  size_t from = 0;
  for (size_t tab; (tab = line.find('\t', from)) != std::string::npos; from = tab + 1)
    columns.push_back(line.substr(from, tab - from));
  columns.push_back(line.substr(from));
  columns.resize(std::max<size_t>(columns.size(), 4));  // a short line fails its checks, not the test program
  return columns;
}

// A classic pcap file: its header fields and its records' bytes.
struct Capture {
  uint32_t magic = 0, linkType = 0;
  uint16_t major = 0, minor = 0;
  std::vector<Bytes> records;  // the direction byte, then the frame
  bool whole = false;          // the records end where the file does
};

Capture parseCapture(const Bytes& file) {
  Capture c;
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, file.data() + at, 4);
    return v;
  };
  if (file.size() < 24) return c;
  c.magic = u32(0);
  c.major = static_cast<uint16_t>(u32(4) & 0xFFFF);
  c.minor = static_cast<uint16_t>(u32(4) >> 16);
  c.linkType = u32(20);
  size_t at = 24;
  while (at + 16 <= file.size()) {
    const uint32_t size = u32(at + 8);
    if (size != u32(at + 12) || at + 16 + size > file.size()) return c;
    c.records.emplace_back(file.begin() + static_cast<long>(at + 16), file.begin() + static_cast<long>(at + 16 + size));
    at += 16 + size;
  }
  c.whole = at == file.size();
  return c;
}

}  // namespace

// The first line of the log, Ctrl+S at once (the 48 bytes the pages start
// with), every page shown by its tab, and the close question.
TEST_F(WineWindow, StartsSavesDefaultsAndShowsEveryPage) {
  TempDir dir;
  Window window(dir, dir / "start.vmc");
  RunResult r = window.drive({"wait-window", kWaitMs, "wait-text", pagePath(7, 1031), "程序启动", kWaitMs});
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors();
  const std::string started = window.text(pagePath(7, 1031));
  EXPECT_TRUE(started.find("] 程序启动\r\n") != std::string::npos) << started << window.errors();

  r = window.drive({"ctrl-key", "S", "wait-text", pagePath(7, 1031), "保存文件:", kWaitMs});
  EXPECT_EQ(r.exitCode, 0) << r.out << window.errors();
  EXPECT_EQ(readWholeFile(dir / "start.vmc"), defaultImage());
  EXPECT_EQ(defaultImage().size(), 48u);
  EXPECT_TRUE(has(window.text(pagePath(7, 1031)), "(48 字节)"));

  // The tab control's arrow key moves to each page in turn; each shows.
  for (int slot = 1; slot < 10; ++slot) {
    r = window.drive({"next-tab", "wait-visible", "111/" + std::to_string(200 + slot), "10000"});
    EXPECT_EQ(r.exitCode, 0) << "slot " << slot << ": " << r.out;
  }
  EXPECT_EQ(window.text(pagePath(8, 1041)).rfind("设备配置工具 使用说明\r\n", 0), 0u) << "the help text, its lines as the edit needs them";
  EXPECT_EQ(window.text("103/1011"), "未连接");
  // The ten captions in one row, as the Linux tab bar: arrows scroll it.
  r = window.drive({"tab-rows"});
  EXPECT_EQ(r.out, "rows 1\n");

  EXPECT_EQ(window.close(), 0) << window.errors();
  EXPECT_TRUE(has(window.errors(), "question: 确定要退出程序吗？")) << window.errors();
}

// The holding-register page marks 修改确认 and shows its note while the
// controls hold edits it has not taken; they go when it takes them. Edits
// left behind by a page change are logged once and never reach the image.
TEST_F(WineWindow, RegisterEditsArePendingUntilConfirmed) {
  using namespace velmora::page_id;
  TempDir dir;
  Window window(dir, dir / "saved.vmc");
  const std::string note = pagePath(4, kRegisterPendingNote), confirm = pagePath(4, kRegisterConfirm);
  const std::string address = pagePath(4, velmora::registerRowControlId(0, 1)),
                    count = pagePath(4, velmora::registerRowControlId(0, 2));
  Args steps{"wait-window", kWaitMs, "wait-text", pagePath(7, 1031), "程序启动", kWaitMs};
  for (int slot = 1; slot <= 4; ++slot) steps = steps + Args{"next-tab"};
  steps = steps + Args{"wait-visible", "111/204", "10000", "wait-gone", note, "1", "wait-marked", confirm, "no", "1",
                       "set", address, "600", "wait-visible", note, "5000", "wait-marked", confirm, "yes", "5000"};
  RunResult r = window.drive(steps);
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors();
  EXPECT_EQ(window.text(note), "有未确认的修改");
  // The page's tooltips: a tool for each tip of the table, the Linux page's delays and width.
  r = window.drive({"tooltips"});
  EXPECT_EQ(r.out, "tools " + std::to_string(velmora::maintainRegisterToolTips().size()) + " width " +
                       std::to_string(velmora::kRegisterTipMaxWidth) + " initial " +
                       std::to_string(velmora::kRegisterTipInitialMs) + " autopop " +
                       std::to_string(velmora::kRegisterTipAutoPopMs) + " reshow " +
                       std::to_string(velmora::kRegisterTipReshowMs) + "\n");

  // Stored by 修改确认: no longer pending.
  r = window.drive({"click", confirm, "wait-gone", note, "5000", "wait-marked", confirm, "no", "5000"});
  EXPECT_EQ(r.exitCode, 0) << r.out << window.errors();
  // Typed back to what the records hold: nothing pending either.
  r = window.drive({"set", count, "99", "wait-visible", note, "5000", "set", count, "100", "wait-gone", note, "5000",
                    "wait-marked", confirm, "no", "5000"});
  EXPECT_EQ(r.exitCode, 0) << r.out << window.errors();

  // A new edit left behind by a page change: one line, and the image has the confirmed 600 but not the 50.
  r = window.drive({"set", count, "50", "wait-visible", note, "5000", "next-tab", "wait-visible", "111/205", "10000",
                    "wait-text", pagePath(7, 1031), "保持寄存器配置：未确认的修改未生效", kWaitMs, "ctrl-key", "S",
                    "wait-text", pagePath(7, 1031), "保存文件:", kWaitMs});
  EXPECT_EQ(r.exitCode, 0) << r.out << window.errors();
  velmora::HoldingRegisterRecords confirmed;
  velmora::HoldingRegisterControls c = confirmed.showRegisters();
  c.rows[0].addressText = "600";
  confirmed.captureRegisters(c);
  EXPECT_EQ(readWholeFile(dir / "saved.vmc"), defaultImage(confirmed));
  EXPECT_EQ(window.close(), 0) << window.errors();
}

// A data port of 7 data bits shows 7 in the data-bits box (the list offers
// 8 only), and keeps its 7 when the image is stored again.
TEST_F(WineWindow, DataBitsOfALoadedPortShowInTheBox) {
  using namespace velmora::page_id;
  TempDir dir;
  velmora::SerialPortUnit port;
  port.portNumber = 1;
  port.baudRate = 19200;
  port.dataBits = 7;
  port.protocolFlags = velmora::kSerial55Protocol;
  const velmora::ConfigUnit unit = velmora::encodeSerialPort(port);
  writeWholeFile(dir / "seven.vmc", Bytes(unit.begin(), unit.end()));
  Window window(dir, dir / "seven.vmc");
  RunResult r = window.drive({"wait-window", kWaitMs, "wait-text", pagePath(7, 1031), "程序启动", kWaitMs, "next-tab",
                              "wait-visible", "111/201", "10000", "command", "32772", "wait-text", pagePath(7, 1031),
                              "打开文件:", kWaitMs});
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors();
  EXPECT_EQ(window.text(pagePath(1, kSerialDataBits)), "7");
  EXPECT_EQ(window.text(pagePath(1, kSerialBaud)), "19200");

  fs::remove(dir / "seven.vmc");
  r = window.drive({"next-tab", "wait-visible", "111/202", "10000", "ctrl-key", "S", "wait-text", pagePath(7, 1031),
                    "保存文件:", kWaitMs});
  EXPECT_EQ(r.exitCode, 0) << r.out << window.errors();
  const Bytes saved = readWholeFile(dir / "seven.vmc").value_or(Bytes{});
  ASSERT_GE(saved.size(), 8u);
  bool found = false;
  for (const velmora::ConfigUnit& u : velmora::wholeUnits(saved.data(), static_cast<int32_t>(saved.size())))
    if (velmora::isUnitOfKind(u, velmora::UnitKind::SerialPort)) {
      EXPECT_EQ(velmora::decodeSerialPort(u).dataBits, 7);
      found = true;
    }
  EXPECT_TRUE(found);
  EXPECT_EQ(window.close(), 0) << window.errors();
}

// 读取配置 over TCP from devsim on 127.0.0.1 fills the pages with the
// device's image; 下发配置 writes it back byte for byte.
TEST_F(WineWindow, TcpReadFillsPagesAndWriteIsByteExact) {
  TempDir dir;
  const Bytes device = imageOfUnits(40);
  writeWholeFile(dir / "device.vmc", device);
  Devsim sim(programs().devsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--image", dir / "device.vmc", "--save", dir / "saved.vmc"}));

  Window window(dir, dir / "unused.vmc");
  RunResult r = window.drive(startAndConnect(sim.port("tcp")) +
                             Args{"click", "103/1012", "wait-text", "103/1014", "读取完成", kWaitMs});
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors() << sim.errorOutput();
  // The data test page shows the whole image, the serial page the last data port it holds.
  std::string hex = velmora::formatHexView(device.data(), device.size());
  EXPECT_EQ(window.text(pagePath(5, 3003)), hex);
  EXPECT_TRUE(has(window.text(pagePath(7, 1031)), "读取配置完成，共 7 包，328 字节")) << window.text(pagePath(7, 1031));

  r = window.drive({"click", "103/1013", "wait-text", "103/1014", "下发完成", kWaitMs});
  EXPECT_EQ(r.exitCode, 0) << r.out << window.errors();
  EXPECT_EQ(readWholeFile(dir / "saved.vmc"), device);
  EXPECT_EQ(window.close(), 0) << window.errors();
  EXPECT_EQ(sim.stop(), 0);
}

// After a TCP read, the log page's 保存... writes the log as the page shows
// it; the monitor page lists every frame, its 保存... writes them as tabbed
// lines and 保存抓包... as a capture with one record per row shown, the same
// bytes in the same order. Paused, a read adds no row; 清空 empties the list.
TEST_F(WineWindow, TcpReadSavesTheLogTheMonitorTextAndACapture) {
  TempDir dir;
  writeWholeFile(dir / "device.vmc", imageOfUnits(40));
  Devsim sim(programs().devsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--image", dir / "device.vmc"}));
  const std::string saved = dir / "saved.out";
  const std::string monitorList = pagePath(9, 1051);
  auto rows = [&](Window& w) {
    const RunResult r = w.drive({"rows", monitorList});
    return r.out.rfind("rows ", 0) == 0 ? std::atoi(r.out.c_str() + 5) : -1;
  };

  Window window(dir, saved);
  RunResult r = window.drive({"wait-window", kWaitMs, "wait-text", pagePath(7, 1031), "程序启动", kWaitMs,
                              "check", pagePath(0, 2001), "set", pagePath(0, 2003), "127.0.0.1", "set",
                              pagePath(0, 2004), std::to_string(sim.port("tcp")), "click", pagePath(0, 2011),
                              "wait-text", "103/1011", "TCP已连接", kWaitMs, "click", pagePath(9, 1053), "click",
                              "103/1012", "wait-text", pagePath(7, 1031), "读取配置完成", kWaitMs});
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors() << sim.errorOutput();

  r = window.drive({"click", pagePath(7, 1032), "wait-file", windowsPath(saved), kWaitMs});
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors();
  const std::string log = fileText(saved);
  EXPECT_EQ(log, window.text(pagePath(7, 1031)));
  const std::vector<std::string> logLines = crlfLines(log);
  ASSERT_GE(logLines.size(), 2u);
  EXPECT_TRUE(has(logLines.front(), "] 程序启动")) << logLines.front();
  EXPECT_TRUE(has(log, "读取配置完成，共 7 包，328 字节\r\n")) << log;

  const int shown = rows(window);
  fs::remove(saved);
  r = window.drive({"click", pagePath(9, 1054), "wait-file", windowsPath(saved), kWaitMs});
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors();
  const std::vector<std::string> lines = crlfLines(fileText(saved));
  ASSERT_EQ(static_cast<int>(lines.size()), shown) << "a line per row, nothing from before the clear";
  // The preamble, then a request and its answer for each of the 7 packets.
  ASSERT_EQ(lines.size(), 15u) << fileText(saved);
  EXPECT_EQ(tabbed(lines[0])[3], "传输前导");
  for (int p = 0; p < 7; ++p) {
    EXPECT_EQ(tabbed(lines[static_cast<size_t>(1 + 2 * p)])[3], "读取请求：包 " + std::to_string(p)) << p;
    EXPECT_TRUE(has(tabbed(lines[static_cast<size_t>(2 + 2 * p)])[3], "数据响应：包 " + std::to_string(p) + "/7"))
        << lines[static_cast<size_t>(2 + 2 * p)];
  }

  fs::remove(saved);
  r = window.drive({"click", pagePath(9, 1055), "wait-file", windowsPath(saved), kWaitMs});
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors();
  const std::optional<Bytes> file = readWholeFile(saved);
  ASSERT_TRUE(file);
  const Capture capture = parseCapture(*file);
  EXPECT_EQ(capture.magic, 0xA1B2C3D4u);
  EXPECT_EQ(std::make_pair(capture.major, capture.minor), std::make_pair(uint16_t{2}, uint16_t{4}));
  EXPECT_EQ(capture.linkType, 147u) << "DLT_USER0, which the dissector claims";
  EXPECT_TRUE(capture.whole);
  ASSERT_EQ(capture.records.size(), lines.size());
  for (size_t i = 0; i < lines.size(); ++i) {
    const Bytes& record = capture.records[i];
    ASSERT_FALSE(record.empty()) << i;
    velmora::MonitorRow row;
    row.bytes.assign(record.begin() + 1, record.end());
    EXPECT_EQ(record[0], tabbed(lines[i])[1] == "发送" ? 0 : 1) << i;
    EXPECT_EQ(velmora::MonitorLog::hexText(row), tabbed(lines[i])[2]) << i;
  }

  r = window.drive({"click", pagePath(9, 1052), "click", "103/1012", "wait-count", pagePath(7, 1031), "读取配置完成",
                    "2", kWaitMs});
  EXPECT_EQ(r.exitCode, 0) << r.out << window.errors();
  EXPECT_EQ(rows(window), shown) << "paused: the second read added no row";
  EXPECT_EQ(window.text(pagePath(9, 1052)), "继续");
  r = window.drive({"click", pagePath(9, 1053), "wait-rows", monitorList, "0", kWaitMs});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  EXPECT_EQ(window.close(), 0) << window.errors();
  EXPECT_EQ(sim.stop(), 0);
}

// The same through a COM port that the prefix maps to devsim's pty: the
// port typed into the box, opened at the chosen speed.
TEST_F(WineWindow, SerialReadThroughComPort) {
  TempDir dir;
  const Bytes device = imageOfUnits(12);
  writeWholeFile(dir / "device.vmc", device);
  Devsim sim(programs().devsim);
  ASSERT_TRUE(sim.start({"--pty", "--image", dir / "device.vmc"}));
  const ComPort com(programs().prefix, 11, sim.endpoint("pty"));

  Window window(dir, dir / "unused.vmc");
  const RunResult r = window.drive({"wait-window", kWaitMs, "wait-text", pagePath(7, 1031), "程序启动", kWaitMs,
                                    "set", pagePath(0, 2005), com.name, "click", pagePath(0, 2011), "wait-text",
                                    pagePath(0, 1011), "串口已打开：COM11 (9600,8,0,0)", kWaitMs, "click", "103/1012",
                                    "wait-text", "103/1014", "读取完成", kWaitMs});
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors() << sim.errorOutput();
  EXPECT_EQ(window.text(pagePath(5, 3003)), velmora::formatHexView(device.data(), device.size()));
  EXPECT_EQ(window.text(pagePath(0, 2011)), "断开");
  EXPECT_EQ(window.close(), 0) << window.errors();
}

// 与设备比较 lists how the device differs without touching the pages, and
// 载入设备配置 takes the device's image. 恢复备份 opens a backup, compares it
// with the device, and 下发配置 writes it.
TEST_F(WineWindow, CompareWithTheDeviceAndRestoreABackup) {
  TempDir dir;
  const Bytes device = imageOfUnits(40);
  Bytes backup = device;
  backup[9] ^= 0x40;
  backup[17] ^= 0x01;
  writeWholeFile(dir / "device.vmc", device);
  writeWholeFile(dir / "backup.vmc", backup);
  Devsim sim(programs().devsim);
  ASSERT_TRUE(sim.start({"--tcp", "127.0.0.1:0", "--image", dir / "device.vmc", "--save", dir / "saved.vmc"}));

  Window window(dir, dir / "backup.vmc");
  RunResult r = window.drive(startAndConnect(sim.port("tcp")));
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors() << sim.errorOutput();
  const std::string defaults = window.text(pagePath(5, 3003));
  r = window.drive({"command", "32778", "wait-visible", "dialog", kWaitMs});
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors() << sim.errorOutput();
  EXPECT_TRUE(has(window.text("dialog/1051"), "处不同（当前 → 设备）：")) << window.text("dialog/1051");
  EXPECT_FALSE(window.text("dialog/1052").empty());
  EXPECT_EQ(window.text(pagePath(5, 3003)), defaults) << "the device's image stays apart until it is taken";

  r = window.drive({"click", "dialog/1053", "wait-gone", "dialog", kWaitMs, "wait-text", pagePath(7, 1031),
                    "已载入设备配置 (320 字节)", kWaitMs});
  EXPECT_EQ(r.exitCode, 0) << r.out << window.errors();
  EXPECT_EQ(window.text(pagePath(5, 3003)), velmora::formatHexView(device.data(), device.size()));

  r = window.drive({"command", "32779", "wait-visible", "dialog", kWaitMs});
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors();
  EXPECT_TRUE(has(window.text("dialog/1051"), "处不同")) << window.text("dialog/1051");
  EXPECT_FALSE(window.text("dialog/1052").empty());
  r = window.drive({"click", "dialog/1054", "wait-gone", "dialog", kWaitMs});
  EXPECT_EQ(r.exitCode, 0) << r.out;
  const std::string log = window.text(pagePath(7, 1031));
  EXPECT_TRUE(has(log, "已载入备份，与设备比较后可点击“下发配置”写回设备")) << log;
  EXPECT_TRUE(has(log, "与设备比较：")) << log;
  EXPECT_EQ(window.text(pagePath(5, 3003)), velmora::formatHexView(backup.data(), backup.size()));

  r = window.drive({"click", "103/1013", "wait-text", "103/1014", "下发完成", kWaitMs});
  EXPECT_EQ(r.exitCode, 0) << r.out << window.errors();
  EXPECT_EQ(readWholeFile(dir / "saved.vmc"), backup);
  EXPECT_EQ(window.close(), 0) << window.errors();
  EXPECT_EQ(sim.stop(), 0);
}

// The data test page's character view shows a file opened while it is on
// show, and keeps the image: a page change and Ctrl+S save the same bytes.
TEST_F(WineWindow, CharacterViewKeepsTheImage) {
  TempDir dir;
  Bytes image = imageOfUnits(5);
  for (size_t i = 0; i < image.size(); i += 3) image[i] = static_cast<uint8_t>('A' + i % 26);
  writeWholeFile(dir / "file.vmc", image);
  Window window(dir, dir / "file.vmc");
  Args steps{"wait-window", kWaitMs, "wait-text", pagePath(7, 1031), "程序启动", kWaitMs};
  for (int slot = 1; slot <= 5; ++slot) steps = steps + Args{"next-tab"};
  steps = steps + Args{"wait-visible", "111/205", "10000", "check", pagePath(5, 3002), "command", "32772",
                       "wait-text", pagePath(7, 1031), "打开文件:", kWaitMs};
  RunResult r = window.drive(steps);
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors();
  EXPECT_EQ(window.text(pagePath(5, 3003)), velmora::formatCharView(image.data(), image.size()));

  fs::remove(dir / "file.vmc");
  r = window.drive({"next-tab", "wait-visible", "111/206", "10000", "ctrl-key", "S", "wait-text", pagePath(7, 1031),
                    "保存文件:", kWaitMs});
  EXPECT_EQ(r.exitCode, 0) << r.out << window.errors();
  EXPECT_EQ(readWholeFile(dir / "file.vmc"), image);
  EXPECT_EQ(window.close(), 0) << window.errors();
}

// --lang en: the texts from translations/velmora_en.ts, in the log, the
// strip and the close question alike.
TEST_F(WineWindow, EnglishFromTheTranslationFile) {
  TempDir dir;
  Window window(dir, dir / "unused.vmc", {"--lang", "en"});
  const RunResult r = window.drive({"wait-window", kWaitMs, "wait-text", pagePath(7, 1031), "] Program started", kWaitMs});
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors();
  EXPECT_EQ(window.text("103/1011"), "Not connected");
  EXPECT_EQ(window.close(), 0) << window.errors();
  EXPECT_FALSE(has(window.errors(), "确定要退出程序吗")) << window.errors();
}

// 设备地址扫描 with the probe to devsim's UDP port on 127.0.0.1 only (never a
// broadcast): the one device answers, and a double click on it fills the
// connection page and chooses TCP.
TEST_F(WineWindow, ScanDoubleClickFillsTheConnectionPage) {
  TempDir dir;
  Devsim sim(programs().devsim);
  ASSERT_TRUE(sim.start({"--udp", "127.0.0.1:0"}));
  Window window(dir, dir / "unused.vmc", {"--lang", "zh", "--scan-target", sim.endpoint("udp")});
  const RunResult r = window.drive({"wait-window", kWaitMs, "wait-text", pagePath(7, 1031), "程序启动", kWaitMs,
                                    "command", "32775", "wait-list", "scan/2030", "1", kWaitMs, "pick", "scan/2030",
                                    "0", "wait-gone", "scan", kWaitMs, "wait-text", pagePath(0, 2003), "127.0.0.1",
                                    kWaitMs});
  ASSERT_EQ(r.exitCode, 0) << r.out << window.errors();
  EXPECT_EQ(window.text(pagePath(0, 2003)), "127.0.0.1");
  EXPECT_EQ(window.close(), 0) << window.errors();
}

// The installer: /S installs silently into the folder /D names; the
// installed velmora.exe starts and opens a .vmc file given to it, as
// Explorer does through the association; the uninstaller takes it all away.
TEST_F(WineWindow, InstallerInstallsSilentlyAndTheInstalledToolStarts) {
  if (programs().setup.empty()) GTEST_SKIP() << "VELMORA_SETUP_EXE names no installer (makensis missing)";
  TempDir dir;
  const std::string folder = dir / "Velmora";
  // No menu entries or file types in the user's own desktop for the prefix's.
  const std::string quiet = "WINEDLLOVERRIDES='mscoree,mshtml=;winemenubuilder.exe=d' exec \"$0\" \"$@\" >'" +
                            dir / "setup.out" + "' 2>&1";
  RunResult r = runToEnd("/bin/sh", {"-c", quiet, programs().wine, programs().setup, "/S", "/D=" + windowsPath(folder)},
                         kLimit);
  ASSERT_EQ(r.exitCode, 0) << fileText(dir / "setup.out");
  for (const char* name : {"velmora.exe", "velmora-cli.exe", "help.txt", "help_en.txt", "copyright.txt", "uninstall.exe"})
    EXPECT_TRUE(fs::exists(folder + "/" + name)) << name;
  // The installed help speaks of COM ports, untagged.
  for (const char* name : {"help.txt", "help_en.txt"}) {
    const std::string help = fileText(folder + "/" + name);
    EXPECT_TRUE(has(help, "COM3")) << name;
    EXPECT_FALSE(has(help, "/dev/") || has(help, "[windows]") || has(help, "[linux]")) << name;
  }
  r = runToEnd("/bin/sh", {"-c", quiet, programs().wine, "reg", "query", "HKCR\\Velmora.Configuration\\shell\\open\\command"},
               kLimit);
  EXPECT_TRUE(has(fileText(dir / "setup.out"), "velmora.exe\" \"%1\"")) << fileText(dir / "setup.out");

  const Bytes image = imageOfUnits(3);
  writeWholeFile(dir / "opened.vmc", image);
  {
    Window window(dir, dir / "unused.vmc", {"--lang", "zh", windowsPath(dir / "opened.vmc")}, folder + "/velmora.exe");
    r = window.drive({"wait-window", kWaitMs, "wait-text", pagePath(7, 1031), "打开文件:", kWaitMs});
    EXPECT_EQ(r.exitCode, 0) << r.out << window.errors();
    EXPECT_EQ(window.text(pagePath(5, 3003)), velmora::formatHexView(image.data(), image.size()));
    EXPECT_EQ(window.close(), 0);
  }

  r = runToEnd("/bin/sh", {"-c", quiet, programs().wine, folder + "/uninstall.exe", "/S", "_?=" + windowsPath(folder)},
               kLimit);
  EXPECT_EQ(r.exitCode, 0) << fileText(dir / "setup.out");
  EXPECT_FALSE(fs::exists(folder + "/velmora.exe"));
  r = runToEnd("/bin/sh", {"-c", quiet, programs().wine, "reg", "query", "HKCR\\.vmc"}, kLimit);
  EXPECT_FALSE(has(fileText(dir / "setup.out"), "Velmora.Configuration")) << "the association went with the tool";
}

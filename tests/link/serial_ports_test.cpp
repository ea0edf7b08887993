// The port list's choices and history and the port doctor's lines, on made-up ports and facts.
#include <gtest/gtest.h>

#include "link/connect_logic.h"
#include "link/port_doctor.h"
#include "link/serial_ports.h"

using namespace velmora;
using Strings = std::vector<std::string>;

namespace {

SerialPortInfo linked(const std::string& link, const std::string& device) {
  SerialPortInfo p = portAtPath(link);
  p.device = device, p.link = link;
  return p;
}
SerialPortInfo bare(const std::string& device) {
  SerialPortInfo p = portAtPath(device);
  p.device = device;
  return p;
}

const SerialPortInfo kFtdi = linked("/dev/serial/by-id/usb-FTDI_A1-if00-port0", "/dev/ttyUSB0");
const SerialPortInfo kCh340 = linked("/dev/serial/by-id/usb-1a86_USB_Serial-if00-port0", "/dev/ttyUSB1");
const SerialPortInfo kUart = bare("/dev/ttyS0");

constexpr uint64_t kSecond = 1'000'000;

}  // namespace

TEST(SerialPorts, FoldersFamiliesNamesAndOrder) {
  EXPECT_EQ(portFoldersFrom(nullptr), (Strings{"/dev", "/dev/serial/by-id"}));
  EXPECT_EQ(portFoldersFrom(""), (Strings{"/dev", "/dev/serial/by-id"}));
  EXPECT_EQ(portFoldersFrom(":/tmp/a::/tmp/b:"), (Strings{"/tmp/a", "/tmp/b"}));

  for (const char* yes : {"ttyUSB0", "ttyACM12", "ttyS3", "ttyAMA0", "rfcomm0", "ttyCH343USB0"})
    EXPECT_TRUE(isSerialFamilyName(yes)) << yes;
  for (const char* no : {"tty", "tty1", "ttyUSB", "ttyUSB0x", "ptmx", "console", "ttyS", "serial"})
    EXPECT_FALSE(isSerialFamilyName(no)) << no;

  EXPECT_EQ(deviceShortName("/dev/ttyUSB0"), "ttyUSB0");
  EXPECT_EQ(deviceShortName("/dev/pts/3"), "pts/3");
  EXPECT_EQ(deviceShortName("/tmp/x"), "/tmp/x");

  // Links first, by name; then the nodes by family and number.
  const auto order = orderPorts({bare("/dev/ttyS10"), kFtdi, bare("/dev/ttyS2"), bare("/dev/ttyUSB3"), kCh340});
  Strings paths;
  for (const auto& p : order) paths.push_back(p.path);
  EXPECT_EQ(paths, (Strings{kCh340.path, kFtdi.path, "/dev/ttyUSB3", "/dev/ttyS2", "/dev/ttyS10"}));

  EXPECT_EQ(PortList::label(kFtdi), "usb-FTDI_A1-if00-port0 (ttyUSB0)");
  EXPECT_EQ(PortList::label(kUart), "/dev/ttyS0");
  EXPECT_EQ(PortList::goneLabel(kUart), "/dev/ttyS0（已移除）");
}

TEST(PortList, KeepsTheChoiceMarksItGoneAndTakesItBack) {
  PortList list;
  list.update({kFtdi, kUart}, kSecond);
  PortList::Shown shown = list.showFirst();
  EXPECT_EQ(shown, (PortList::Shown{{PortList::label(kFtdi), "/dev/ttyS0"}, 0, ""}));

  // The user chose the UART; an adapter comes in front of it.
  PortList::Choice choice = list.choiceOf("/dev/ttyS0");
  list.update({kCh340, kFtdi, kUart}, 2 * kSecond);
  shown = list.show(choice);
  EXPECT_EQ(shown.selected, 2);

  // The chosen adapter goes: still chosen, marked gone, its path still the one opened.
  choice = list.choiceOf(PortList::label(kCh340));
  list.update({kFtdi, kUart}, 3 * kSecond);
  shown = list.show(choice);
  ASSERT_EQ(shown.labels.size(), 3u);
  EXPECT_EQ(shown.labels[2], PortList::goneLabel(kCh340));
  EXPECT_EQ(shown.selected, 2);
  EXPECT_EQ(list.pathOf(shown.labels[2]), kCh340.path);
  // Another change keeps the mark; its return, under another node, takes it back.
  shown = list.show(list.choiceOf(shown.labels[2]));
  EXPECT_EQ(shown.labels.back(), PortList::goneLabel(kCh340));
  SerialPortInfo back = kCh340;
  back.device = "/dev/ttyUSB4";
  list.update({back, kFtdi, kUart}, 4 * kSecond);
  shown = list.show(list.choiceOf(PortList::goneLabel(kCh340)));
  EXPECT_EQ(shown, (PortList::Shown{{PortList::label(back), PortList::label(kFtdi), "/dev/ttyS0"}, 0, ""}));
  EXPECT_EQ(list.pathOf(PortList::goneLabel(kCh340)), PortList::goneLabel(kCh340)) << "no longer an entry";

  // A bare node chosen before udev made its link is the linked entry afterwards.
  list.update({bare("/dev/ttyUSB7")}, 5 * kSecond);
  choice = list.choiceOf("/dev/ttyUSB7");
  list.update({linked("/dev/serial/by-id/usb-x", "/dev/ttyUSB7")}, 5 * kSecond + 50'000);
  EXPECT_EQ(list.show(choice).selected, 0);

  // A typed text stays as typed; an empty box takes the first entry.
  choice = list.choiceOf(" /dev/pts/9");
  EXPECT_EQ(list.pathOf(" /dev/pts/9"), " /dev/pts/9");
  shown = list.show(choice);
  EXPECT_EQ(shown.selected, -1);
  EXPECT_EQ(shown.typed, " /dev/pts/9");
  EXPECT_EQ(list.show(list.choiceOf("")).selected, 0);
  list.update({}, 6 * kSecond);
  EXPECT_EQ(list.show(list.choiceOf("")), PortList::Shown{});
}

TEST(PortHistory, AShortLifeIsRememberedForAWhile) {
  PortHistory history;
  // What is there at the first look did not appear.
  PortHistory::Changes c = history.note({kUart}, 10 * kSecond);
  EXPECT_TRUE(c.appeared.empty());
  history.note({}, 10 * kSecond + 1);
  EXPECT_FALSE(history.shortLife("/dev/ttyS0", 11 * kSecond)) << "its birth was never seen";

  c = history.note({kCh340}, 20 * kSecond);
  ASSERT_EQ(c.appeared.size(), 1u);
  c = history.note({}, 21 * kSecond + 500'000);
  ASSERT_EQ(c.vanished.size(), 1u);
  // Known by its link and by its node.
  EXPECT_EQ(history.shortLife(kCh340.path, 22 * kSecond), 1'500'000u);
  EXPECT_EQ(history.shortLife("/dev/ttyUSB1", 22 * kSecond), 1'500'000u);
  EXPECT_FALSE(history.shortLife("/dev/ttyUSB1", 21 * kSecond + 500'000 + PortHistory::kMemoryUs + 1));

  history.note({kFtdi}, 30 * kSecond);
  history.note({}, 30 * kSecond + PortHistory::kShortLifeUs + 1);
  EXPECT_FALSE(history.shortLife(kFtdi.path, 40 * kSecond)) << "it lived long enough";

  history.note({kCh340}, 50 * kSecond);
  EXPECT_FALSE(history.shortLife(kCh340.path, 50 * kSecond)) << "it is back";
}

// What the box and the log get when the system says the ports changed: the
// one step both windows take on a plug or unplug.
TEST(PortList, FollowingAChangeKeepsTheBoxAndTellsTheLog) {
  PortList list;
  list.update({kFtdi, kUart}, kSecond);
  list.showFirst();
  const PortList::Followed f = list.follow("/dev/ttyS0", {kCh340, kUart}, 2 * kSecond);
  EXPECT_EQ(f.shown, (PortList::Shown{{PortList::label(kCh340), "/dev/ttyS0"}, 1, ""}));
  EXPECT_EQ(f.logLines, (Strings{"串口已移除: usb-FTDI_A1-if00-port0 (ttyUSB0)",
                                 "发现串口: usb-1a86_USB_Serial-if00-port0 (ttyUSB1)"}));
  // The refresh's own paths keep what the search knew of them; others become the list.
  EXPECT_EQ(list.showRefreshed({kCh340.path, "/dev/ttyS0"}, 2 * kSecond),
            (PortList::Shown{{PortList::label(kCh340), "/dev/ttyS0"}, 0, ""}));
  EXPECT_EQ(list.showRefreshed({"/dev/pts/4"}, 2 * kSecond), (PortList::Shown{{"/dev/pts/4"}, 0, ""}));
  list.update({kCh340, kUart}, 2 * kSecond);
  // Nothing came or went: the same box, nothing to log.
  const PortList::Followed again = list.follow("/dev/ttyS0", {kCh340, kUart}, 3 * kSecond);
  EXPECT_EQ(again.shown, f.shown);
  EXPECT_TRUE(again.logLines.empty());
}

TEST(PortDoctor, EachCauseNamesItsRemedy) {
  const std::string path = "/dev/ttyUSB0";
  const auto err = [](std::errc e) { return std::make_error_code(e); };
  PortFacts present;
  present.exists = present.serial = true;
  present.ownerName = "root";
  present.groupName = "dialout";
  present.mode = 0660;
  present.userName = "ana";
  const auto lines = [&](std::errc e, const PortFacts& f, std::optional<uint64_t> life = std::nullopt) {
    return portDoctorLines(path, err(e), f, life);
  };

  PortFacts f = present;
  f.accessible = false;
  EXPECT_EQ(lines(std::errc::permission_denied, f),
            Strings{"诊断: /dev/ttyUSB0 属于 dialout 组，用户 ana 不在该组；请执行 sudo usermod -aG dialout ana，然后注销并重新登录"});
  f.accountInGroup = true;
  EXPECT_EQ(lines(std::errc::permission_denied, f),
            Strings{"诊断: 用户 ana 已在 dialout 组中，但当前登录尚未生效；请注销并重新登录（或重启）"});
  f.sessionInGroup = true;
  EXPECT_EQ(lines(std::errc::permission_denied, f),
            Strings{"诊断: 用户 ana 在 dialout 组中，系统仍拒绝访问 /dev/ttyUSB0（可能是访问控制列表或安全策略）"});
  f.mode = 0600;  // joining the group would not help
  EXPECT_EQ(lines(std::errc::permission_denied, f),
            Strings{"诊断: /dev/ttyUSB0 只允许用户 root 读写（权限 0600）；请用 udev 规则把它交给 dialout 组（GROUP=\"dialout\", "
                    "MODE=\"0660\"）"});

  f = present;
  f.holders = {{812, "ModemManager", false}, {4242, "minicom", false}};
  EXPECT_EQ(lines(std::errc::device_or_resource_busy, f),
            (Strings{"诊断: /dev/ttyUSB0 正被进程 812（ModemManager）占用，请关闭该程序后重试",
                     "诊断: /dev/ttyUSB0 正被进程 4242（minicom）占用，请关闭该程序后重试",
                     "诊断: ModemManager 会探测新插入的串口；可执行 sudo systemctl stop ModemManager，或为该设备设置 "
                     "ID_MM_DEVICE_IGNORE"}));
  f.holders.assign(kMaxHoldersNamed + 2, PortHolder{7, "brltty", false});
  f.holders.push_back({1, "velmora", true});
  const Strings many = lines(std::errc::device_or_resource_busy, f);
  ASSERT_EQ(many.size(), kMaxHoldersNamed + 1) << "the named ones and brltty's remedy";
  EXPECT_EQ(many.back(), "诊断: brltty（盲文显示器驱动）会占用常见的 USB 串口芯片；如不需要请执行 sudo apt remove brltty");
  f.holders = {{1, "velmora", true}};
  EXPECT_EQ(lines(std::errc::device_or_resource_busy, f), Strings{"诊断: 本程序已打开 /dev/ttyUSB0"});
  f.holders.clear();
  f.holdersHidden = true;
  EXPECT_EQ(lines(std::errc::device_or_resource_busy, f),
            Strings{"诊断: /dev/ttyUSB0 正被其他程序占用，但无权查看是哪个进程；请执行 sudo velmora-cli ports 查看"});
  f.holdersHidden = false;
  EXPECT_EQ(lines(std::errc::device_or_resource_busy, f), Strings{"诊断: /dev/ttyUSB0 正被占用，但未找到打开它的进程"});
  f.holdersUnnamed = true;  // Windows tells that a port is taken, never by whom
  EXPECT_EQ(lines(std::errc::device_or_resource_busy, f), Strings{"诊断: /dev/ttyUSB0 正被其他程序占用，请关闭该程序后重试"});

  PortFacts missing;
  EXPECT_EQ(lines(std::errc::no_such_file_or_directory, missing),
            Strings{"诊断: /dev/ttyUSB0 不存在，请检查适配器是否插好，然后从列表中重新选择"});
  EXPECT_EQ(lines(std::errc::no_such_file_or_directory, missing, 1'200'000),
            Strings{"诊断: /dev/ttyUSB0 出现约 1.2 秒后即消失，可能被其他驱动占用（例如盲文显示器驱动 brltty）；如不需要请执行 "
                    "sudo apt remove brltty，然后重新插入适配器"});
  PortFacts notSerial;
  notSerial.exists = true;
  EXPECT_EQ(lines(std::errc::inappropriate_io_control_operation, notSerial),
            Strings{"诊断: /dev/ttyUSB0 不是串口设备，请从列表中选择串口"});

  // A system's code in a category of its own that maps to errno (as Windows'
  // codes do) is the system's reason all the same.
  class MappedCategory final : public std::error_category {
   public:
    const char* name() const noexcept override { return "mapped"; }
    std::string message(int) const override { return "busy"; }
    std::error_condition default_error_condition(int code) const noexcept override {
      return {code, std::generic_category()};
    }
  };
  static const MappedCategory mapped;
  PortFacts taken = present;
  taken.holdersUnnamed = true;
  EXPECT_EQ(portDoctorLines(path, std::error_code(static_cast<int>(std::errc::device_or_resource_busy), mapped), taken,
                            std::nullopt),
            Strings{"诊断: /dev/ttyUSB0 正被其他程序占用，请关闭该程序后重试"});

  // Nothing to say: settings the device kept, an error the facts do not touch.
  EXPECT_TRUE(portDoctorLines(path, lineSettingsError(kLineParity), present, std::nullopt).empty());
  EXPECT_TRUE(portDoctorLines(path, {}, missing, std::nullopt).empty());
  EXPECT_TRUE(lines(std::errc::io_error, present).empty());
}

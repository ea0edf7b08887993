// The port box on Windows follows the system's device notices, and the
// port doctor says what Windows can tell: a COM port that is not there, or
// that another program holds.
#include <gtest/gtest.h>

#include <windows.h>

#include <dbt.h>

#include <chrono>

#include "link/live_port_list_win.h"
#include "link/message_window_win.h"
#include "link/port_doctor.h"
#include "link/serial_channel_win.h"
#include "base/win_text_win.h"

using namespace velmora;
using Strings = std::vector<std::string>;

namespace {

struct Lines : LogSink {
  void logMessage(const std::string& text) override { lines.push_back(text); }
  Strings lines;
};

// A page's port box: a drop-down combo box in a window that is never shown.
class PortBox {
 public:
  PortBox() {
    page_ = CreateWindowExW(0, L"STATIC", L"", WS_POPUP, 0, 0, 300, 200, nullptr, nullptr, nullptr, nullptr);
    box = CreateWindowExW(0, L"COMBOBOX", L"", WS_CHILD | WS_VISIBLE | CBS_DROPDOWN, 0, 0, 200, 120, page_, nullptr,
                          nullptr, nullptr);
  }
  ~PortBox() { DestroyWindow(page_); }
  Strings items() const {
    Strings out;
    for (LRESULT i = 0; i < SendMessageW(box, CB_GETCOUNT, 0, 0); ++i) {
      wchar_t text[256] = {};
      SendMessageW(box, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text));
      out.push_back(narrow(text));
    }
    return out;
  }
  std::string text() const {
    wchar_t text[256] = {};
    GetWindowTextW(box, text, 256);
    return narrow(text);
  }
  int selected() const { return static_cast<int>(SendMessageW(box, CB_GETCURSEL, 0, 0)); }
  HWND box = nullptr;

 private:
  HWND page_ = nullptr;
};

// Handles messages until done() or two seconds have passed.
bool pumpUntil(const std::function<bool()>& done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(2);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    Sleep(5);
  }
  return done();
}

void pumpFor(int ms) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  pumpUntil([&] { return std::chrono::steady_clock::now() >= end; });
}

void notice(HWND window, WPARAM event, DWORD deviceType) {
  DEV_BROADCAST_HDR header{};
  header.dbch_size = sizeof header;
  header.dbch_devicetype = deviceType;
  SendMessageW(window, WM_DEVICECHANGE, event, reinterpret_cast<LPARAM>(&header));
}

}  // namespace

TEST(WinLivePortList, FollowsArrivalAndRemovalKeepingTheChoice) {
  PortBox page;
  if (page.box == nullptr) GTEST_SKIP() << "no display: Wine makes no windows without one";
  Lines log;
  WinLivePortList list(page.box, &log);
  Strings ports{"COM3", "COM5"};
  int searches = 0;
  list.setLister([&] { return ++searches, ports; });
  list.showRefreshed(list.scan());
  EXPECT_EQ(page.items(), (Strings{"COM3", "COM5"}));
  EXPECT_EQ(page.selected(), 0);
  SendMessageW(page.box, CB_SETCURSEL, 1, 0);

  // A drive's notice is none of the list's business (given twice the time
  // the list waits for a burst to end); a port's is.
  ports = {"COM4", "COM5"};
  const int before = searches;
  notice(list.noticeWindow(), DBT_DEVICEARRIVAL, DBT_DEVTYP_VOLUME);
  pumpFor(400);
  EXPECT_EQ(searches, before);
  notice(list.noticeWindow(), DBT_DEVICEARRIVAL, DBT_DEVTYP_PORT);
  notice(list.noticeWindow(), DBT_DEVICEARRIVAL, DBT_DEVTYP_DEVICEINTERFACE);
  ASSERT_TRUE(pumpUntil([&] { return page.items() == Strings{"COM4", "COM5"}; })) << page.items().size();
  pumpFor(400);
  EXPECT_EQ(searches, before + 1) << "one look for the burst";
  EXPECT_EQ(page.text(), "COM5") << "the chosen port stays chosen";
  EXPECT_EQ(log.lines, (Strings{"串口已移除: COM3", "发现串口: COM4"}));

  // The chosen adapter goes: marked gone, still the port the page would open.
  ports = {"COM4"};
  notice(list.noticeWindow(), DBT_DEVICEREMOVECOMPLETE, DBT_DEVTYP_DEVICEINTERFACE);
  ASSERT_TRUE(pumpUntil([&] { return page.items().size() == 2 && page.items()[0] == "COM4" && page.items()[1] != "COM5"; }));
  EXPECT_EQ(page.items()[1], "COM5（已移除）");
  EXPECT_EQ(page.selected(), 1);
  EXPECT_EQ(list.pathOf(page.text()), "COM5");

  // A typed name survives a change untouched.
  SendMessageW(page.box, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
  SetWindowTextW(page.box, L"\\\\.\\COM12");
  ports = {"COM4", "COM6"};
  notice(list.noticeWindow(), 0x0007 /* DBT_DEVNODES_CHANGED */, 0);
  ASSERT_TRUE(pumpUntil([&] { return page.items() == Strings{"COM4", "COM6"}; }));
  EXPECT_EQ(page.text(), "\\\\.\\COM12");
  EXPECT_EQ(list.pathOf(page.text()), "\\\\.\\COM12");
}

TEST(WinPortDoctor, SaysWhatWindowsTells) {
  MessageWindow window;
  WinSerialChannel channel(window);
  SerialSettings settings;
  std::error_code error;
  ASSERT_FALSE(channel.open("COM250", settings, error));
  EXPECT_EQ(channel.openFailureNotes("COM250", error),
            Strings{"诊断: COM250 不存在，请检查适配器是否插好，然后从列表中重新选择"});

  // Another program's port opens with "access denied"; Windows names no holder.
  PortFacts taken;
  taken.exists = taken.serial = true;
  taken.holdersUnnamed = true;
  EXPECT_EQ(portDoctorLines("COM3", winError(ERROR_ACCESS_DENIED), taken, std::nullopt),
            Strings{"诊断: COM3 正被其他程序占用，请关闭该程序后重试"});
  EXPECT_EQ(portDoctorLines("COM3", winError(ERROR_SHARING_VIOLATION), taken, std::nullopt),
            Strings{"诊断: COM3 正被其他程序占用，请关闭该程序后重试"});
}

// The monitor page on show while the window reads a full image from
// velmora-devsim over TCP: every frame in order, the saved text and capture.
#include <QScrollBar>
#include <QTableView>
#include <QTest>

#include <cstring>

#include "app/tab_manager.h"
#include "diag/dialog_monitor.h"
#include "tests/e2e/window_driver_qt.h"
#include "tests/support/ui_recorder.h"

using velmora::testing::UiRecorder;

namespace velmora::e2e {
namespace {

TEST_F(DeviceTest, MonitorShowsEveryFrameOfAFullReadInOrderAndSavesThem) {
  Bytes image;
  for (int i = 0; i < 2048; ++i) image.push_back(static_cast<uint8_t>(i % 8 == 0 ? 1 + i / 8 % 4 : i * 11));
  testing::writeWholeFile(path("device.vmc"), image);
  ASSERT_NO_FATAL_FAILURE(startDevice());
  ASSERT_NO_FATAL_FAILURE(connectOver(Transport::Tcp));
  ui->clickTab(TabManager::kMonitorSlot);
  auto* monitor = dynamic_cast<DialogMonitor*>(ui->window().tabHost()->page(TabManager::kMonitorSlot));
  ASSERT_NE(monitor, nullptr);
  ui->click(TabManager::kMonitorSlot, DialogMonitor::kClearButtonId);  // what the connect left

  ASSERT_TRUE(ui->transfer(true));
  EXPECT_EQ(ui->window().configImage(), image);
  auto* table = ui->control<QTableView>(TabManager::kMonitorSlot, DialogMonitor::kTableId);
  ASSERT_TRUE(QTest::qWaitFor([&] { return table->model()->rowCount() == 85; }, 3000)) << table->model()->rowCount();

  auto cell = [&](int row, int column) { return table->model()->index(row, column).data().toString(); };
  EXPECT_EQ(cell(0, 1), QStringLiteral("发送"));
  EXPECT_EQ(cell(0, 3), QStringLiteral("传输前导"));
  int sent = 0, received = 0;
  double previous = -1;
  for (int p = 0; p < 42; ++p) {
    const int request = 1 + 2 * p, response = request + 1;
    EXPECT_EQ(cell(request, 3), QStringLiteral("读取请求：包 %1").arg(p));
    EXPECT_EQ(cell(response, 3), QStringLiteral("数据响应：包 %1/42，%2 字节").arg(p).arg(p < 41 ? 50 : 6));
    EXPECT_EQ(cell(request, 2).left(5), QStringLiteral("01 69"));
  }
  for (int row = 0; row < 85; ++row) {
    (cell(row, 1) == QStringLiteral("发送") ? sent : received) += 1;
    EXPECT_GE(cell(row, 0).toDouble(), previous) << row;
    previous = cell(row, 0).toDouble();
  }
  EXPECT_EQ(std::make_pair(sent, received), std::make_pair(43, 42));
  // The newest row is in view: the table followed the read.
  EXPECT_EQ(table->verticalScrollBar()->value(), table->verticalScrollBar()->maximum());

  UiRecorder::queueFile(QString::fromStdString(path("monitor.txt")));
  ui->click(TabManager::kMonitorSlot, DialogMonitor::kSaveButtonId);
  const auto saved = testing::readWholeFile(path("monitor.txt"));
  ASSERT_TRUE(saved);
  const std::string text(saved->begin(), saved->end());
  EXPECT_EQ(text, monitor->log().text());
  EXPECT_EQ(std::count(text.begin(), text.end(), '\n'), 85);
  EXPECT_NE(text.find("\t接收\t01 69 0A 00 29 00 2A "), std::string::npos) << "packet 41's answer";
  EXPECT_TRUE(UiRecorder::messages().isEmpty()) << UiRecorder::messages().join("; ").toStdString();

  // The capture: the pcap header (USER0), then one record per row, its
  // direction byte before the frame's bytes, time stamps in order.
  UiRecorder::queueFile(QString::fromStdString(path("monitor.pcap")));
  ui->click(TabManager::kMonitorSlot, DialogMonitor::kSaveCaptureButtonId);
  const auto capture = testing::readWholeFile(path("monitor.pcap"));
  ASSERT_TRUE(capture);
  auto u32 = [&](size_t at) {
    uint32_t v = 0;
    std::memcpy(&v, capture->data() + at, 4);
    return v;
  };
  ASSERT_GE(capture->size(), 24u);
  EXPECT_EQ(u32(0), 0xA1B2C3D4u);
  EXPECT_EQ(u32(20), 147u);
  size_t at = 24, records = 0;
  uint64_t lastUs = 0;
  while (at + 16 <= capture->size() && records < 85) {
    const uint64_t us = uint64_t{u32(at)} * 1000000 + u32(at + 4);
    const uint32_t size = u32(at + 8);
    ASSERT_LE(at + 16 + size, capture->size());
    const MonitorRow& row = monitor->log().row(records);
    EXPECT_EQ((*capture)[at + 16], row.direction == FrameDirection::Sent ? 0 : 1) << records;
    EXPECT_EQ(std::vector<uint8_t>(capture->begin() + static_cast<long>(at) + 17,
                                   capture->begin() + static_cast<long>(at + 16 + size)),
              row.bytes)
        << records;
    EXPECT_GE(us, lastUs);
    lastUs = us;
    at += 16 + size;
    ++records;
  }
  EXPECT_EQ(records, 85u);
  EXPECT_EQ(at, capture->size());

  // Paused, a second read adds nothing; clear empties the table.
  ui->click(TabManager::kMonitorSlot, DialogMonitor::kPauseButtonId);
  ASSERT_TRUE(ui->transfer(true));
  monitor->flush();
  EXPECT_EQ(table->model()->rowCount(), 85);
  ui->click(TabManager::kMonitorSlot, DialogMonitor::kClearButtonId);
  EXPECT_EQ(table->model()->rowCount(), 0);
}

}  // namespace
}  // namespace velmora::e2e

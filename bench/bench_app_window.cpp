// bench_app_window: the tool's main window built the way velmora's main()
// builds it, then driven through its own controls against velmora-devsim:
// connect, full reads and writes of the configuration, an idle spell. It
// reports times, byte counts, resident memory and CPU use, one
// "key value" a line, for bench/run to put in its table.
//
//   bench_app_window --make-image FILE
//       writes a full 2048-byte configuration image (256 units) and ends
//   bench_app_window (--serial PATH | --tcp HOST:PORT) [--transfers N]
//                    [--settle-ms N] [--idle-ms N]
//
// Output keys:
//   rss_start_kb       VmRSS once the window is up and settle-ms have passed
//   read_ms / write_ms one per transfer, click to "读取完成" / "下发完成"
//   read_bytes / write_bytes   bytes on the line both ways for one transfer
//   rx_read_bytes      bytes the connection page received during the first read
//   image_bytes        length of the image after the first read
//   rss_read_kb        VmRSS settle-ms after the first read
//   transfer_cpu_ms    CPU time of all threads for each transfer, in order
//   cpu_idle_pct       CPU of all threads over idle-ms with the link open
//
// Diagnostics: --no-log-page (the log page replaced by a plain widget, so
// lines are dropped), --hide-progress (the progress bar not painted),
// --phases [--warm-font] (the moments of start-up; see startupPhases).
// --show-page SLOT shows that page during the transfers (9: the traffic
// monitor, whose table then follows every frame).
#include <QAbstractButton>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QProgressBar>
#include <QTimer>

#include <dirent.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "app/main_dialog.h"
#include "app/startup_qt.h"
#include "app/tab_manager.h"
#include "link/dialog_connect.h"
#include "link/link_events_qt.h"
#include "protocol/dialog_configuration.h"
#include "protocol/frames.h"
#include "sim/device_frames.h"
#include "ui/ui_kit_qt.h"

namespace {

using velmora::MainDialog;

struct Options {
  std::string makeImage;
  std::string serialPath;
  std::string tcpHost;
  quint16 tcpPort = 0;
  int transfers = 3;
  int settleMs = 1000;
  int idleMs = 0;
  bool phases = false;
  bool warmFont = false;
  // Diagnostics: what a transfer costs without the log page, or without
  // the progress bar being painted.
  bool noLogPage = false;
  bool hideProgress = false;
  int showPage = -1;
};

[[noreturn]] void fail(const std::string& why) {
  std::fprintf(stderr, "bench_app_window: %s\n", why.c_str());
  std::exit(1);
}

Options parse(int argc, char** argv) {
  Options o;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--phases" || a == "--warm-font" || a == "--no-log-page" || a == "--hide-progress") {
      (a == "--phases" ? o.phases : a == "--warm-font" ? o.warmFont : a == "--no-log-page" ? o.noLogPage : o.hideProgress) =
          true;
      continue;
    }
    if (i + 1 >= argc) fail("missing value after " + a);
    const std::string v = argv[++i];
    if (a == "--make-image") {
      o.makeImage = v;
    } else if (a == "--show-page") {
      o.showPage = std::atoi(v.c_str());
    } else if (a == "--serial") {
      o.serialPath = v;
    } else if (a == "--tcp") {
      const size_t colon = v.rfind(':');
      if (colon == std::string::npos) fail("--tcp wants HOST:PORT");
      o.tcpHost = v.substr(0, colon);
      o.tcpPort = static_cast<quint16>(std::atoi(v.c_str() + colon + 1));
      // Only the loopback: this program is a benchmark, never a tool.
      if (o.tcpHost != "127.0.0.1" && o.tcpHost != "localhost") fail("--tcp takes 127.0.0.1 only");
    } else if (a == "--transfers") {
      o.transfers = std::atoi(v.c_str());
    } else if (a == "--settle-ms") {
      o.settleMs = std::atoi(v.c_str());
    } else if (a == "--idle-ms") {
      o.idleMs = std::atoi(v.c_str());
    } else {
      fail("unknown option " + a);
    }
  }
  if (o.makeImage.empty() && !o.phases && o.serialPath.empty() && o.tcpPort == 0) fail("give --serial PATH or --tcp HOST:PORT");
  return o;
}

// 256 units: every record each editor page keeps, and unknown units, which
// the pages carry unchanged, to fill the image to its limit.
std::vector<uint8_t> fullImage() {
  std::vector<uint8_t> image;
  auto unit = [&image](std::initializer_list<int> bytes) {
    for (int b : bytes) image.push_back(static_cast<uint8_t>(b));
  };
  for (int port = 1; port <= 32; ++port) unit({1, port, 0, 0, 0x25, 0x80, 0x80, 0x0D});  // 9600 8N1
  for (int port = 0; port < 32; ++port) {
    unit({2, port, 0, 0, 192, 168, 1, 100 + port});  // address
    unit({2, port, 0, 1, 255, 255, 255, 0});         // mask
    unit({2, port, 0, 2, 192, 168, 1, 1});           // gateway
    unit({2, port, 0, 3, 20, 24, 6, port});          // serial number
  }
  for (int entry = 0; entry < 32; ++entry) unit({3, entry, (6000 + entry) >> 8, (6000 + entry) & 0xFF, 0, 0, 0, 0x19});
  for (int group = 1; group <= 5; ++group) unit({4, group, 1, 0, group * 100, 0, 16, 0});
  int filler = 0;
  while (image.size() < 2048) {
    unit({0x55, filler, 0, 0, 0, 0, 0, 0});
    ++filler;
  }
  return image;
}

long statusKb(const char* key) {
  std::ifstream in("/proc/self/status");
  std::string line;
  const std::string prefix = std::string(key) + ":";
  while (std::getline(in, line))
    if (line.compare(0, prefix.size(), prefix) == 0) return std::atol(line.c_str() + prefix.size());
  return -1;
}

// CPU nanoseconds of every thread of this process.
long long cpuNs() {
  DIR* dir = ::opendir("/proc/self/task");
  if (!dir) return -1;
  long long sum = 0;
  while (const dirent* e = ::readdir(dir)) {
    if (e->d_name[0] == '.') continue;
    std::ifstream in(std::string("/proc/self/task/") + e->d_name + "/schedstat");
    long long ns = 0;
    if (in >> ns) sum += ns;
  }
  ::closedir(dir);
  return sum;
}

// Runs the event loop until done() holds, at most limitMs. Blocks between
// events, so the waiting costs no CPU of its own.
bool waitFor(const std::function<bool()>& done, int limitMs) {
  QElapsedTimer clock;
  clock.start();
  // Ends the wait for events when nothing else comes. Precise: a coarse
  // timer may fire early and leave the wait with nothing to wake it.
  QTimer wake;
  wake.setSingleShot(true);
  wake.setTimerType(Qt::PreciseTimer);
  while (!done()) {
    const qint64 left = limitMs - clock.elapsed();
    if (left <= 0) return false;
    if (!wake.isActive()) wake.start(static_cast<int>(left));
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
  }
  return true;
}

void runFor(int ms) {
  QElapsedTimer clock;
  clock.start();
  waitFor([&clock, ms] { return clock.elapsed() >= ms; }, ms);
}

template <typename W>
W* control(QWidget* window, int id) {
  W* w = window->findChild<W*>(velmora::ui::controlName(id));
  if (!w) fail("no control " + std::to_string(id));
  return w;
}

// Bytes the connection page is handed by either channel.
class ReceiveCounter : public QObject {
 public:
  long long bytes = 0;

 protected:
  bool eventFilter(QObject*, QEvent* event) override {
    if (event->type() == velmora::SerialByteEvent::kType) ++bytes;
    if (event->type() == velmora::TcpReceiveEvent::kType)
      bytes += static_cast<long long>(static_cast<velmora::TcpReceiveEvent*>(event)->block.size());
    return false;
  }
};

// Bytes on the line, both ways, for one read or write of an image of
// imageLength bytes, frame by frame as the protocol builds them.
long long lineBytes(bool write, int imageLength) {
  const std::vector<uint8_t> image(static_cast<size_t>(imageLength), 0);
  const std::vector<uint8_t> envelope = velmora::buildEnvelope(image.data(), imageLength);
  const int length = static_cast<int>(envelope.size());
  const int packets = velmora::packetCount(length);
  long long total = static_cast<long long>(velmora::buildTransferPreamble().size());
  for (int p = 0; p < packets; ++p) {
    if (write) {
      total += static_cast<long long>(
          velmora::buildWritePacket(1, static_cast<uint16_t>(p), static_cast<uint16_t>(packets), envelope.data(), length)
              .frame.size());
      total += static_cast<long long>(velmora::sim::buildWriteAck(1, static_cast<uint16_t>(p)).size());
    } else {
      total += static_cast<long long>(velmora::buildReadRequest(1, static_cast<uint16_t>(p)).size());
      const int offset = p * velmora::kPacketPayload;
      const int count = std::min(velmora::kPacketPayload, length - offset);
      total += static_cast<long long>(velmora::sim::buildDataResponse(1, static_cast<uint16_t>(p),
                                                                       static_cast<uint16_t>(packets),
                                                                       envelope.data() + offset,
                                                                       static_cast<size_t>(count))
                                          .size());
    }
  }
  return total;
}

// Where the start-up time goes: the moments of start-up in milliseconds
// from the fork of bench_window_probe (BENCH_PROBE_T0_NS, read only by this
// bench program) or else from main(), then the event loop until ended.
int startupPhases(int argc, char** argv, const Options& options, std::chrono::steady_clock::time_point mainEntered) {
  std::chrono::steady_clock::time_point origin = mainEntered;
  if (const char* t0 = std::getenv("BENCH_PROBE_T0_NS"))
    origin = std::chrono::steady_clock::time_point(std::chrono::nanoseconds(std::atoll(t0)));
  auto stamp = [origin](const char* what, std::chrono::steady_clock::time_point at) {
    std::printf("phase_%s_ms %.1f\n", what, std::chrono::duration<double, std::milli>(at - origin).count());
    std::fflush(stdout);
  };
  stamp("main", mainEntered);
  QApplication app(argc, argv);
  velmora::prepareStart(velmora::socketLayerReady());  // as main() does
  stamp("qapp", std::chrono::steady_clock::now());
  if (options.warmFont) {
    // The page font resolved and its CJK glyphs drawn once, outside the window.
    const QFont font = velmora::ui::pageFont();
    stamp("font_resolved", std::chrono::steady_clock::now());
    QImage scratch(400, 40, QImage::Format_ARGB32_Premultiplied);
    QPainter painter(&scratch);
    painter.setFont(font);
    painter.drawText(2, 30, QStringLiteral("设备配置工具 连接 串口 读取配置 下发配置 空闲"));
    painter.end();
    stamp("font", std::chrono::steady_clock::now());
  }
  // The factory asks for the program's own page every time; the moments it
  // is asked tell how long each page before took to build.
  std::vector<std::chrono::steady_clock::time_point> asked;
  MainDialog dialog(nullptr, [&asked](int, QWidget*) -> QWidget* {
    asked.push_back(std::chrono::steady_clock::now());
    return nullptr;
  });
  const auto built = std::chrono::steady_clock::now();
  for (size_t slot = 0; slot < asked.size(); ++slot) {
    const std::string name = "slot" + std::to_string(slot);
    stamp(name.c_str(), asked[slot]);
  }
  stamp("dialog", built);
  struct FirstPaint : QObject {
    std::function<void()> onPaint;
    bool eventFilter(QObject*, QEvent* event) override {
      if (event->type() == QEvent::Paint && onPaint) {
        onPaint();
        onPaint = nullptr;
      }
      return false;
    }
  } watcher;
  watcher.onPaint = [&] {
    stamp("paint_begin", std::chrono::steady_clock::now());
    QTimer::singleShot(0, [&] { stamp("paint_done", std::chrono::steady_clock::now()); });
  };
  dialog.installEventFilter(&watcher);
  dialog.show();
  stamp("show", std::chrono::steady_clock::now());
  return app.exec();
}

}  // namespace

int main(int argc, char** argv) {
  const auto mainEntered = std::chrono::steady_clock::now();
  const Options options = parse(argc, argv);
  if (options.phases) return startupPhases(argc, argv, options, mainEntered);
  if (!options.makeImage.empty()) {
    const std::vector<uint8_t> image = fullImage();
    std::ofstream out(options.makeImage, std::ios::binary);
    out.write(reinterpret_cast<const char*>(image.data()), static_cast<std::streamsize>(image.size()));
    return out ? 0 : 1;
  }

  // As velmora's main() does.
  QApplication app(argc, argv);
  velmora::prepareStart(velmora::socketLayerReady());  // as main() does
  // A box would wait for a click that never comes: say it and stop.
  velmora::ui::setMessageBoxHook([](const QString& text) { fail("message box: " + text.toStdString()); });
  velmora::ui::setQuestionHook([](const QString&) { return true; });

  // Slot 7 is the log page; a plain widget there drops every line.
  MainDialog dialog(nullptr, [&options](int slot, QWidget* parent) -> QWidget* {
    return options.noLogPage && slot == 7 ? new QWidget(parent) : nullptr;
  });
  dialog.show();
  runFor(options.settleMs);
  std::printf("rss_start_kb %ld\n", statusKb("VmRSS"));
  std::fflush(stdout);

  // Connect through the connection page.
  using namespace velmora::connect_id;
  if (!options.serialPath.empty()) {
    control<QAbstractButton>(&dialog, kRadioSerial)->click();
    control<QComboBox>(&dialog, kSerialPortCombo)->setEditText(QString::fromStdString(options.serialPath));
  } else {
    control<QAbstractButton>(&dialog, kRadioTcp)->click();
    control<QLineEdit>(&dialog, kIpEdit)->setText(QString::fromStdString(options.tcpHost));
    control<QLineEdit>(&dialog, kPortEdit)->setText(QString::number(options.tcpPort));
  }
  auto* readButton = control<QAbstractButton>(&dialog, velmora::DialogConfiguration::kReadButtonId);
  auto* writeButton = control<QAbstractButton>(&dialog, velmora::DialogConfiguration::kWriteButtonId);
  auto* stateText = control<QLabel>(&dialog, velmora::DialogConfiguration::kStateTextId);
  auto* progress = control<QProgressBar>(&dialog, velmora::DialogConfiguration::kProgressId);
  if (options.hideProgress) progress->hide();
  control<QAbstractButton>(&dialog, kConnectButton)->click();
  if (!waitFor([readButton] { return readButton->isEnabled(); }, 5000)) fail("not connected");

  if (options.showPage >= 0) {
    dialog.tabHost()->selectPage(options.showPage);
    runFor(options.settleMs);
  }
  auto* page = dialog.findChild<velmora::DialogConnect*>();
  if (!page) fail("no connection page");
  ReceiveCounter counter;
  page->installEventFilter(&counter);

  // One transfer: the click, then the event loop until the panel says done.
  std::vector<double> cpu;  // CPU milliseconds of each transfer, all threads
  auto transfer = [&](QAbstractButton* button, const QString& doneText) {
    const long long cpuBefore = cpuNs();
    QElapsedTimer clock;
    clock.start();
    button->click();
    if (!waitFor([&] { return progress->value() == 100 && stateText->text() == doneText; }, 60000))
      fail("transfer did not finish; state \"" + stateText->text().toStdString() + "\"");
    const double ms = static_cast<double>(clock.nsecsElapsed()) / 1e6;
    cpu.push_back(static_cast<double>(cpuNs() - cpuBefore) / 1e6);
    return ms;
  };

  std::vector<double> reads, writes;
  for (int i = 0; i < options.transfers; ++i) {
    counter.bytes = 0;
    reads.push_back(transfer(readButton, QStringLiteral("读取完成")));
    if (i == 0) {
      const long long received = counter.bytes;
      const size_t imageBytes = dialog.configImage().size();
      std::printf("image_bytes %zu\nrx_read_bytes %lld\n", imageBytes, received);
      if (imageBytes != 2048) fail("the device's image is not 2048 bytes; give velmora-devsim a full image");
      runFor(options.settleMs);
      std::printf("rss_read_kb %ld\n", statusKb("VmRSS"));
      std::fflush(stdout);
    }
    writes.push_back(transfer(writeButton, QStringLiteral("下发完成")));
  }
  const int imageLength = static_cast<int>(dialog.configImage().size());
  std::printf("read_bytes %lld\nwrite_bytes %lld\n", lineBytes(false, imageLength), lineBytes(true, imageLength));
  std::printf("read_ms");
  for (double ms : reads) std::printf(" %.1f", ms);
  std::printf("\nwrite_ms");
  for (double ms : writes) std::printf(" %.1f", ms);
  std::printf("\ntransfer_cpu_ms");
  for (double ms : cpu) std::printf(" %.1f", ms);
  std::printf("\n");
  std::fflush(stdout);

  if (options.idleMs > 0) {
    const long long before = cpuNs();
    QElapsedTimer clock;
    clock.start();
    runFor(options.idleMs);
    const long long used = cpuNs() - before;
    std::printf("cpu_idle_pct %.3f\n", 100.0 * static_cast<double>(used) / static_cast<double>(clock.nsecsElapsed()));
  }
  return 0;
}

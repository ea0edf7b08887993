// Malformed configuration files opened through the menu, then the pages and
// the device: nothing crashes, every file gets its reaction, and what the
// window does send is what the device stores.
#include <QAction>
#include <QDir>
#include <QTableWidget>
#include <gtest/gtest.h>

#include <random>

#include "app/main_dialog.h"
#include "tests/e2e/device_fixture_qt.h"
#include "tests/support/ui_recorder.h"

using namespace std::chrono_literals;
using velmora::testing::UiRecorder;

namespace velmora::e2e {
namespace {

Bytes randomBytes(size_t count, uint32_t seed) {
  std::mt19937 random(seed);
  Bytes out(count);
  for (uint8_t& b : out) b = static_cast<uint8_t>(random() >> 24);
  return out;
}

class FileWindowTest : public ::testing::Test, protected DeviceFixture {
 protected:
  void SetUp() override { setUpFixture(); }
  void TearDown() override { tearDownFixture(HasFailure()); }

  // Opens path through the menu, answering the file dialog with it.
  void open(const std::string& path) {
    UiRecorder::queueFile(QString::fromStdString(path));
    ui->window().action(MainDialog::kFileOpen)->trigger();
  }
  void save(const std::string& path) {
    UiRecorder::queueFile(QString::fromStdString(path));
    ui->window().action(MainDialog::kFileSave)->trigger();
  }
  static std::string opened(const std::string& path, size_t size) {
    return "打开文件: " + QDir::toNativeSeparators(QString::fromStdString(path)).toStdString() + " (" +
           std::to_string(size) + " 字节)";
  }
  // Opens bytes, written as name, through the menu; checks they became the
  // image; then starts the device and connects to it over TCP.
  void openAndConnect(const std::string& name, const Bytes& bytes) {
    const std::string path = device->writeFile(name, bytes);
    open(path);
    EXPECT_TRUE(ui->log().has(opened(path, bytes.size())));
    ASSERT_EQ(ui->window().configImage(), bytes);
    startDevice();
    if (HasFatalFailure()) return;
    connectOver(Transport::Tcp);
  }
  int listRows() { return ui->pageControl<QTableWidget>(6, 1021)->rowCount(); }

  // Every tab once, in order, and back to the connection page.
  void visitEveryPage() {
    for (int slot = 1; slot <= 8; ++slot) {
      ui->clickTab(slot);
      if (slot == 6) {
        EXPECT_EQ(static_cast<size_t>(listRows()), ui->window().configImage().size() / kUnitSize);
      }
    }
    ui->clickTab(0);
  }
};

TEST_F(FileWindowTest, AFullSizeImageOfRandomBytesTravelsWholeAndThePagesCopeWithIt) {
  const Bytes bytes = randomBytes(2048, 20240611);
  openAndConnect("random.vmc", bytes);
  if (HasFatalFailure()) return;
  // The largest transfer there is: 42 packets each way.
  size_t from = ui->log().mark();
  ASSERT_TRUE(ui->writeConfiguration(20s)) << ui->log().tail();
  EXPECT_TRUE(ui->log().has("开始下发配置，共 42 包，2056 字节", from));
  EXPECT_TRUE(ui->log().has("发送配置数据包 42/42, 数据长度 6", from));
  EXPECT_EQ(device->savedImage(), bytes);
  from = ui->log().mark();
  ASSERT_TRUE(ui->readConfiguration(20s)) << ui->log().tail();
  EXPECT_TRUE(ui->log().has("读取配置完成，共 42 包，2056 字节", from));
  EXPECT_EQ(ui->window().configImage(), bytes);

  // Whatever the pages make of random units, the image stays whole units
  // within the limit, and the device takes it.
  visitEveryPage();
  const Bytes afterWalk = ui->window().configImage();
  EXPECT_EQ(afterWalk.size() % kUnitSize, 0u);
  EXPECT_LE(afterWalk.size(), 2048u);
  ASSERT_TRUE(ui->writeConfiguration(20s)) << ui->log().tail();
  EXPECT_EQ(device->savedImage(), afterWalk);
  EXPECT_TRUE(UiRecorder::messages().isEmpty()) << UiRecorder::messages().join("; ").toStdString();
}

TEST_F(FileWindowTest, AnOddLengthLoadsWholeTheDeviceRefusesItAndThePagesMendIt) {
  Bytes bytes{0x07, 0x11, 0x22, 0x33, 0x44, 0x55, 0x66, 0x77};  // one unit no page owns
  const Bytes tail = randomBytes(5, 7);
  bytes.insert(bytes.end(), tail.begin(), tail.end());
  openAndConnect("odd.vmc", bytes);
  if (HasFatalFailure()) return;
  // Sent as it is; the envelope's length is not whole units, so the device
  // refuses it and never acknowledges.
  size_t from = ui->log().mark();
  EXPECT_FALSE(ui->writeConfiguration());
  EXPECT_TRUE(ui->log().has("开始下发配置，共 1 包，21 字节", from));
  EXPECT_TRUE(ui->log().has("下发配置超时，复位", from));
  EXPECT_EQ(ui->stateText(), QStringLiteral("空闲"));
  EXPECT_FALSE(device->savedImage().has_value());

  // The list page shows whole units only and hands back just those.
  ui->clickTab(6);
  EXPECT_EQ(listRows(), 1);
  ui->clickTab(0);
  EXPECT_EQ(ui->window().configImage(), Bytes(bytes.begin(), bytes.begin() + 8));
  // Leaving the data-port page appends its port.
  ui->clickTab(1);
  ui->clickTab(0);
  Bytes mended(bytes.begin(), bytes.begin() + 8);
  const Bytes port{0x01, 0x01, 0x00, 0x00, 0x25, 0x80, 0x80, 0x0D};
  mended.insert(mended.end(), port.begin(), port.end());
  EXPECT_EQ(ui->window().configImage(), mended);
  ASSERT_TRUE(ui->writeConfiguration()) << ui->log().tail();
  EXPECT_EQ(device->savedImage(), mended);
}

TEST_F(FileWindowTest, AnEmptyFileChangesNothing) {
  const Bytes before = ui->window().configImage();
  const std::string path = device->writeFile("empty.vmc", {});
  open(path);
  EXPECT_TRUE(ui->log().has("打开文件为空"));
  EXPECT_FALSE(ui->log().hasPrefix("打开文件:"));
  EXPECT_EQ(ui->window().configImage(), before);
  EXPECT_TRUE(UiRecorder::messages().isEmpty());
  visitEveryPage();
}

TEST_F(FileWindowTest, AnImageOverTheLimitIsKeptSavedWholeButNeverSent) {
  const Bytes bytes = randomBytes(3001, 99);
  openAndConnect("big.vmc", bytes);
  if (HasFatalFailure()) return;
  size_t from = ui->log().mark();
  ui->pressWrite();
  EXPECT_EQ(UiRecorder::messages(), QStringList{"要发送的数据长度无效"});
  EXPECT_FALSE(ui->log().hasPrefix("开始下发配置", from));
  EXPECT_EQ(ui->stateText(), QStringLiteral("空闲"));
  EXPECT_TRUE(ui->writeEnabled());

  // On an editor page the gathering refuses first and says so.
  ui->clickTab(4);
  from = ui->log().mark();
  ui->pressWrite();
  EXPECT_TRUE(ui->log().has("数据包长度超过最大长度", from));
  EXPECT_EQ(UiRecorder::messages().size(), 2);
  EXPECT_EQ(ui->window().configImage(), bytes);
  WindowDriver::pump(100ms);
  EXPECT_FALSE(device->savedImage().has_value());

  const std::string copy = dir->filePath("copy.vmc").toStdString();
  save(copy);
  EXPECT_EQ(testing::readWholeFile(copy), bytes);
  EXPECT_TRUE(ui->log().has("保存文件: " + QDir::toNativeSeparators(QString::fromStdString(copy)).toStdString() +
                            " (3001 字节)"));

  // A read from the device replaces it.
  ui->clickTab(0);
  ASSERT_TRUE(ui->readConfiguration()) << ui->log().tail();
  EXPECT_EQ(ui->window().configImage(), sampleImage());
}

TEST_F(FileWindowTest, FilesThatCannotBeTakenAreRefused) {
  const Bytes before = ui->window().configImage();
  const std::string huge = device->writeFile("huge.vmc", randomBytes(1024 * 1024 + 1, 5));
  open(huge);
  // A device node would never end; a missing file cannot be read.
  open("/dev/zero");
  open(dir->filePath("missing.vmc").toStdString());
  EXPECT_EQ(UiRecorder::messages(), QStringList({"打开文件失败", "打开文件失败", "打开文件失败"}));
  EXPECT_EQ(ui->window().configImage(), before);
  EXPECT_FALSE(ui->log().hasPrefix("打开文件:"));
  visitEveryPage();
}

}  // namespace
}  // namespace velmora::e2e

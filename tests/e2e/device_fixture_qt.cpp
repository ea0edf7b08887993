#include "tests/e2e/device_fixture_qt.h"

#include <QLabel>

#include <cstdio>

#include "tests/support/ui_recorder.h"

namespace velmora::e2e {

std::string transportName(Transport t) { return t == Transport::Tcp ? "Tcp" : "Pty"; }

void DeviceFixture::setUpFixture() {
  testing::UiRecorder::reset();
  dir = std::make_unique<QTemporaryDir>();
  ASSERT_TRUE(dir->isValid());
  device = std::make_unique<testing::Devsim>(VELMORA_DEVSIM_PATH, dir->path().toStdString());
  imagePath = device->writeFile("device.vmc", sampleImage());
  ui = std::make_unique<WindowDriver>();
}

void DeviceFixture::tearDownFixture(bool failed) {
  std::string logTail;
  if (ui) logTail = ui->log().tail(40);
  ui.reset();
  if (device) {
    if (failed) {
      std::fprintf(stderr, "--- log page, last lines:\n%s--- simulator log:\n%s\n", logTail.c_str(),
                   device->errorOutput().c_str());
    }
    device->stop();
  }
  device.reset();
  dir.reset();
}

void DeviceFixture::startDevice(const std::vector<std::string>& extra) {
  std::vector<std::string> args{"--tcp", "127.0.0.1:0", "--pty", "--log", "--image", imagePath};
  const std::vector<std::string> save = device->saveArg();
  args.insert(args.end(), save.begin(), save.end());
  args.insert(args.end(), extra.begin(), extra.end());
  ASSERT_TRUE(device->start(args)) << device->errorOutput();
  ASSERT_NE(device->tcpPort(), 0);
  ASSERT_FALSE(device->ptyPath().empty());
}

void DeviceFixture::connectOver(Transport t) {
  if (t == Transport::Tcp) {
    ui->connectTcp(device->tcpPort());
    ASSERT_EQ(ui->connectStatus().toStdString(), "TCP已连接：127.0.0.1:" + std::to_string(device->tcpPort()));
  } else {
    ui->openSerial(device->ptyPath());
    ASSERT_EQ(ui->connectStatus().toStdString(), "串口已打开：" + device->ptyPath() + " (9600,8,0,0)");
  }
  ASSERT_EQ(ui->panelStatus(), ui->connectStatus());
  ASSERT_TRUE(ui->readEnabled());
  ASSERT_TRUE(ui->writeEnabled());
}

}  // namespace velmora::e2e

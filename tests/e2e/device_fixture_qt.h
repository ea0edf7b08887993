// What every window test against the simulated device starts from: a
// temporary directory, the simulator serving the sample image over TCP on
// 127.0.0.1 and over a pty, and the program's real main window.
#pragma once

#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "tests/e2e/sample_image.h"
#include "tests/e2e/window_driver_qt.h"
#include "tests/support/child_process.h"

namespace velmora::e2e {

enum class Transport { Tcp, Pty };

std::string transportName(Transport t);

class DeviceFixture {
 protected:
  // Prepares the directory, the image file and the window; no simulator yet.
  void setUpFixture();
  // Closes the window first (it disconnects), then stops the simulator. On
  // failure prints the log page's last lines and the simulator's own log.
  void tearDownFixture(bool failed);

  // Starts the simulator on both links with the sample image, a save file
  // and extra options (faults); fails the test when it does not come up.
  void startDevice(const std::vector<std::string>& extra = {});
  // Connects the window over t and checks that the link came up.
  void connectOver(Transport t);

  std::unique_ptr<QTemporaryDir> dir;
  std::unique_ptr<testing::Devsim> device;
  std::unique_ptr<WindowDriver> ui;
  std::string imagePath;
};

}  // namespace velmora::e2e

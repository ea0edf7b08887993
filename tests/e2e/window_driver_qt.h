// Drives the real main window the way a user does (tabs clicked, texts
// typed, buttons pressed, controls found by their ids) against
// velmora-devsim. Every wait is a bounded loop that keeps the event loop
// running.
#pragma once

#include <QAbstractButton>
#include <QStringList>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/child_process.h"

class QLineEdit;
class QTableWidget;

namespace velmora {
class MainDialog;
}  // namespace velmora

namespace velmora::e2e {

using Bytes = std::vector<uint8_t>;

// The device's configuration here: units of every kind, with values apart
// from the pages' defaults, in the order the editor pages store them when
// visited from the first to the last, so a read, a walk over every page and
// a write give back the same bytes. 15 units: an envelope of 128 bytes,
// three packets.
Bytes sampleImage();

// The log page's lines as appended, without their stamps. It watches the
// page's edit, so it keeps every line after the page cut back older ones.
class LogJournal {
 public:
  void update(const std::string& text);
  const std::vector<std::string>& lines() const { return lines_; }
  size_t mark() const { return lines_.size(); }
  // The first line at or after from that is text (or starts with it), or -1.
  int indexOf(const std::string& text, size_t from = 0, bool prefix = false) const;
  bool has(const std::string& line, size_t from = 0) const { return indexOf(line, from) >= 0; }
  bool hasPrefix(const std::string& prefix, size_t from = 0) const { return indexOf(prefix, from, true) >= 0; }
  std::string tail(size_t count = 25) const;

 private:
  std::string seen_;
  std::vector<std::string> lines_;
};

class WindowDriver {
 public:
  WindowDriver();
  ~WindowDriver();

  MainDialog& window() { return *window_; }
  LogJournal& log() { return log_; }

  static bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit);
  static void pump(std::chrono::milliseconds duration);

  // A control by id within a tab page (slot) or, with slot -1, the transfer
  // strip. A missing one ends the test program: every later step would be
  // meaningless.
  QWidget* control(int slot, int id) const;
  template <typename T>
  T* control(int slot, int id) const {
    T* typed = qobject_cast<T*>(control(slot, id));
    if (typed == nullptr) fatalMissing(id);
    return typed;
  }
  QString text(int slot, int id) const;  // of a label or a line edit

  void clickTab(int slot);
  void click(QAbstractButton* button);
  void click(int slot, int id);
  // Selects the whole text of the edit and types text over it.
  void typeInto(QLineEdit* edit, const QString& text);
  void clickRow(QTableWidget* list, int row);
  // Rows of a list as "col0|col1|...".
  static QStringList rows(QTableWidget* list);

  // TCP to 127.0.0.1:port (typed and read back before the button, so the
  // defaults never go out), or the serial channel on a typed path.
  void connect(uint16_t port, const std::string& serialPath);
  void pressConnectButton() { click(0, 2011); }

  QString stateText() const { return text(-1, 1014); }
  QString panelStatus() const { return text(-1, 1011); }
  QString connectStatus() const { return text(0, 1011); }
  QString connectCaption() const { return control<QAbstractButton>(0, 2011)->text(); }
  int progress() const;
  bool readEnabled() const { return control(-1, 1012)->isEnabled(); }
  bool writeEnabled() const { return control(-1, 1013)->isEnabled(); }
  void pressRead() { click(-1, 1012); }
  void pressWrite() { click(-1, 1013); }
  // Presses the button and waits for the log's end of the transfer; true
  // for a clean end.
  bool readConfiguration(std::chrono::milliseconds limit = std::chrono::seconds(8));
  bool writeConfiguration(std::chrono::milliseconds limit = std::chrono::seconds(8));

  // A tab click shows its page and the strip repaints.
  bool responsive();

 private:
  [[noreturn]] static void fatalMissing(int id);

  std::unique_ptr<MainDialog> window_;
  LogJournal log_;
};

enum class Transport { Tcp, Pty };
std::string transportName(Transport t);

// A temporary directory, the simulator serving sampleImage() over TCP on
// 127.0.0.1 and a pty, and the real main window.
class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  // Closes the window first (it disconnects), then stops the simulator; on
  // failure prints the log page's and the simulator's last lines.
  void TearDown() override;
  // Both links, the image file, a save file and extra options (faults).
  void startDevice(const std::vector<std::string>& extra = {});
  // Connects and checks that the link came up; baud and path for the pty.
  void connectOver(Transport t, const std::string& baud = "9600", std::string ptyPath = {});
  // Both; false (the test has failed) when either did not come up.
  bool startAndConnect(Transport t, const std::vector<std::string>& extra) {
    startDevice(extra);
    if (!HasFatalFailure()) connectOver(t);
    return !HasFatalFailure();
  }
  std::string path(const std::string& name) const;
  std::optional<Bytes> saved() const { return testing::readWholeFile(path("saved.vmc")); }

  std::unique_ptr<QTemporaryDir> dir;
  std::unique_ptr<testing::Devsim> device;
  std::unique_ptr<WindowDriver> ui;
  std::string imagePath;
};

template <typename P>
class DeviceParamTest : public DeviceTest, public ::testing::WithParamInterface<P> {};

}  // namespace velmora::e2e

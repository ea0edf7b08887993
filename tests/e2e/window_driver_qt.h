// Drives the real main window as a user does (tabs clicked, texts typed,
// buttons pressed, controls found by their ids) against velmora-devsim.
// Every wait is a bounded loop that keeps the event loop running.
#pragma once

#include <QTemporaryDir>
#include <QLineEdit>
#include <gtest/gtest.h>

#include <memory>

#include "app/main_dialog.h"
#include "tests/support/child_process.h"

namespace velmora::e2e {

using Bytes = std::vector<uint8_t>;

// Units of every kind, values apart from the pages' defaults, in the order
// the pages store them when visited first to last. 15 units: an envelope
// of 128 bytes, three packets.
Bytes sampleImage();

// The log page's lines as appended, without stamps, also those it cut back since.
class LogJournal {
 public:
  void update(const std::string& text);
  size_t mark() const { return lines_.size(); }
  // Lines at or after index from that start with prefix.
  int count(const std::string& prefix, size_t from = 0) const;
  bool has(const std::string& prefix, size_t from = 0) const { return count(prefix, from) > 0; }
  std::string tail() const;  // the last 40, for failure reports

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

  // A control by id within a tab page (slot) or, with slot -1, the transfer
  // strip. A missing one aborts: every later step would be meaningless.
  QWidget* control(int slot, int id) const;
  template <typename T>
  T* control(int slot, int id) const {
    T* typed = qobject_cast<T*>(control(slot, id));
    if (typed == nullptr) qFatal("control %d is of another kind", id);
    return typed;
  }
  QString text(int slot, int id) const;  // of a label or a line edit

  void clickTab(int slot);
  void click(int slot, int id);
  // Selects the whole text of the edit and types text over it.
  void typeInto(QLineEdit* edit, const QString& text);

  // The transfer strip.
  QString stateText() const { return text(-1, 1014); }
  QString panelStatus() const { return text(-1, 1011); }
  int progress() const;
  bool readEnabled() const { return control(-1, 1012)->isEnabled(); }
  bool writeEnabled() const { return control(-1, 1013)->isEnabled(); }
  void press(bool read) { click(-1, read ? 1012 : 1013); }
  // Presses and waits for the log's end of the transfer; true for a clean end.
  bool transfer(bool read, std::chrono::milliseconds limit = std::chrono::seconds(10));

 private:
  std::unique_ptr<MainDialog> window_;
  LogJournal log_;
};

enum class Transport { Tcp, Pty };

// A temporary directory, the simulator serving sampleImage() over TCP on
// 127.0.0.1 and a pty, and the real main window. On failure TearDown
// prints the log page's and the simulator's last lines.
class DeviceTest : public ::testing::Test {
 protected:
  void SetUp() override;
  void TearDown() override;
  // Both links, the image file, a save file and extra options (faults).
  void startDevice(const std::vector<std::string>& extra = {});
  // TCP to 127.0.0.1:port (typed and read back before the button, so the
  // defaults never go out) or the pty's typed path; checks the link is up.
  void connectOver(Transport t, const std::string& baud = "9600");
  std::optional<Bytes> saved() const { return testing::readWholeFile(path("saved.vmc")); }
  std::string path(const std::string& name) const;

  std::unique_ptr<QTemporaryDir> dir;
  std::unique_ptr<testing::Devsim> device;
  std::unique_ptr<WindowDriver> ui;
};

template <typename P>
class DeviceParamTest : public DeviceTest, public ::testing::WithParamInterface<P> {};

}  // namespace velmora::e2e

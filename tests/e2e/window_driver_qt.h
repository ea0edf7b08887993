// Drives the real main window the way a user does: tabs clicked, texts
// typed, buttons pressed, all found by their control ids. Every wait is a
// bounded loop that keeps the event loop running.
#pragma once

#include <QString>
#include <QStringList>
#include <QWidget>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QAbstractButton;
class QLabel;
class QLineEdit;
class QProgressBar;
class QTableWidget;

namespace velmora {
class DialogConnect;
class MainDialog;
}  // namespace velmora

namespace velmora::e2e {

// The log page's lines as they are appended, without their time stamps.
// It watches the page's edit, so it keeps every line even after the page
// has cut back its older ones.
class LogJournal {
 public:
  // Called whenever the log changes; text is the log as the page keeps it.
  void update(const std::string& text);

  const std::vector<std::string>& lines() const { return lines_; }
  size_t mark() const { return lines_.size(); }
  // Lines from index from on.
  bool has(const std::string& line, size_t from = 0) const;
  bool hasPrefix(const std::string& prefix, size_t from = 0) const;
  int count(const std::string& line, size_t from = 0) const;
  // Position of the first such line at or after from, or -1.
  int indexOf(const std::string& line, size_t from = 0) const;
  // The last lines, for failure messages.
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

  // Waits (processing events) until done() holds or the limit passes.
  static bool waitFor(const std::function<bool()>& done, std::chrono::milliseconds limit);
  // Keeps the event loop running for a while.
  static void pump(std::chrono::milliseconds duration);

  // Controls by id, within a tab page or the transfer strip. A missing
  // control ends the test program: every later step would be meaningless.
  QWidget* pageControl(int slot, int id) const;
  template <typename T>
  T* pageControl(int slot, int id) const {
    return mustBe<T>(pageControl(slot, id), id);
  }
  QWidget* panelControl(int id) const;
  template <typename T>
  T* panelControl(int id) const {
    return mustBe<T>(panelControl(id), id);
  }

  // User actions.
  void clickTab(int slot);
  void click(QAbstractButton* button);
  // Selects the whole text of the edit and types text over it.
  void typeInto(QLineEdit* edit, const QString& text);
  void clickRow(QTableWidget* list, int row);

  // The connection page: TCP to 127.0.0.1:port. Both fields are typed and
  // read back before the button is pressed, so the defaults never go out.
  void connectTcp(uint16_t port);
  // The serial channel on a typed device path with the page's line settings.
  void openSerial(const std::string& path);
  // Presses the connect/disconnect button once.
  void pressConnectButton();

  // The strip.
  QString stateText() const;
  QString panelStatus() const;
  int progress() const;
  bool readEnabled() const;
  bool writeEnabled() const;
  void pressRead();
  void pressWrite();
  // Presses read and waits for "读取完成"; false on any other outcome.
  bool readConfiguration(std::chrono::milliseconds limit = std::chrono::seconds(8));
  bool writeConfiguration(std::chrono::milliseconds limit = std::chrono::seconds(8));

  // The connection page.
  DialogConnect* connectPage() const;
  QString connectStatus() const;
  QString connectCaption() const;

  // Rows of a list page as "col0|col1|...".
  static QStringList rows(QTableWidget* list);

  // Whether the window still reacts: a tab click shows its page and the
  // strip's widgets repaint.
  bool responsive();

 private:
  template <typename T>
  static T* mustBe(QWidget* widget, int id) {
    T* typed = qobject_cast<T*>(widget);
    if (typed == nullptr) fatalMissing(id);
    return typed;
  }
  [[noreturn]] static void fatalMissing(int id);

  std::unique_ptr<MainDialog> window_;
  LogJournal log_;
};

}  // namespace velmora::e2e

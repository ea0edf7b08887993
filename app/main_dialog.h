// The main window: menu, tab host above, transfer strip below, and the
// configuration image that moves between pages, files and the device.
#pragma once

#include <QDialog>

#include <functional>
#include <vector>

#include "base/log_sink.h"
#include "app/device_comparison.h"
#include "app/main_menu.h"
#include "app/page_image.h"
#include "config/image_host.h"
#include "protocol/transfer_engine.h"
#include "ui/ui_kit_qt.h"

class QAction;
class QFrame;
class QMenuBar;

namespace velmora {

class DialogConfiguration;
class TabManager;

class MainDialog : public QDialog, public ImageHost, public LogSink, private PageSlots {
  Q_OBJECT
 public:
  // Menu command ids.
  enum Command {
    kFileNew = command_id::kFileNew,
    kFileOpen = command_id::kFileOpen,
    kFileSave = command_id::kFileSave,
    kAppExit = command_id::kAppExit,
    kDeviceScan = command_id::kDeviceScan,
    kDeviceConfig = command_id::kDeviceConfig,
    kAppHelp = command_id::kAppHelp,
    kCompareDevice = command_id::kCompareDevice,
    kRestoreBackup = command_id::kRestoreBackup,
  };
  static constexpr int kTabFrameId = 1001;
  static constexpr int kPanelFrameId = 1002;
  // The least the window ever allows; pages that need more raise it.
  static constexpr int kMinimumWidth = 700;
  static constexpr int kMinimumHeight = 500;
  // The client area's layout: a margin all round, and below the tab host
  // the room the transfer strip takes (110 high, 6 above and below).
  static constexpr int kClientMargin = 6;
  static constexpr int kStripRoom = 128;

  // The page for a slot; tests pass their own for some slots (returning null
  // for a slot asks for the program's own page).
  using PageFactory = std::function<QWidget*(int slot, QWidget* parent)>;

  explicit MainDialog(QWidget* parent = nullptr, PageFactory pages = {});
  ~MainDialog() override;

  // ImageHost
  void loadImage(const uint8_t* data, int32_t length) override;
  bool gatherCurrentPage() override;
  const std::vector<uint8_t>& configImage() const override { return image_.configImage(); }
  // LogSink: a stamped line on the log page; dropped when there is none.
  void logMessage(const std::string& text) override;
  // Shows what a transfer's log lines and frames added, and paints it.
  void showHeldViews();

  void layoutChildren();

  TabManager* tabHost() const { return tabHost_; }
  DialogConfiguration* transferPanel() const { return transferPanel_; }
  QWidget* clientArea() const { return client_; }
  QAction* action(int commandId) const;

  // File commands.
  void newImage();
  void openFile();
  // Loads a .vmc file or JSON document into the pages; false (said) when it cannot.
  bool openConfigFile(const QString& path);
  // 恢复备份: a backup the tool kept into the pages, then the comparison
  // with the device; 下发配置 writes it as any configuration.
  void restoreBackup();
  void saveFile();

  // Reads the device's configuration apart from the pages and lists how it
  // differs from the window's. Refused as the read button is.
  void compareWithDevice();

  // The folder taken as the program's own when choosing where the file
  // dialogs start (tests point it elsewhere; empty: the executable's).
  void setProgramFolder(const QString& folder) { programFolder_ = folder; }
  // Where the next open or save dialog starts.
  QString fileDialogFolder() const;

  // Where the device scan sends its probe. No host (the default): the LAN
  // broadcasts. A host that a test or a user who knows better names is the
  // only destination.
  void setScanTarget(const QString& host, quint16 port);

 protected:
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void buildMenu();
  void runCommand(int id);
  void fitMinimumSize();
  void runDeviceScan();
  QWidget* makeDefaultPage(int slot, QWidget* parent);
  ui::FileDialogRequest configFileRequest(bool save) const;
  void rememberFileFolder(const QString& path);
  void onTransferEnded(const TransferOutcome& outcome);
  // The check of the image a write would send: its warnings and notes to
  // the log, its errors to a question; false when the user keeps it back.
  bool approveWrite(const std::vector<uint8_t>& image);
  void showComparison();
  // PageSlots
  DialogChildBase* imagePage(int slot) const override;
  int currentPage() const override;

  QMenuBar* menuBar_ = nullptr;
  QWidget* client_ = nullptr;
  QFrame* frame1001_ = nullptr;
  QFrame* frame1002_ = nullptr;
  TabManager* tabHost_ = nullptr;
  DialogConfiguration* transferPanel_ = nullptr;
  PageImage image_{[this](const std::string& line) { logMessage(line); }};
  DeviceComparison comparison_;
  QString programFolder_;
  QString lastFileFolder_;  // where the last Open or Save of this run went
  QString scanHost_;
  quint16 scanPort_ = 988;
};

}  // namespace velmora

// The 编辑 menu's comparison with the device, apart from any window: a read
// into a copy of the pages' own, the differences setting by setting, and the
// choice of taking the device's configuration. 恢复备份 opens a backup and
// then compares it in the same way. The windows only show what this gives.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "base/log_sink.h"
#include "config/image_host.h"

namespace velmora {

class DeviceComparison {
 public:
  struct Result {
    std::vector<uint8_t> device;     // what the device holds
    std::vector<std::string> lines;  // one per setting that differs, window → device
    std::string logLine;             // "与设备比较：…"
    std::string heading;             // the result dialog's heading
  };

  // A new comparison: the copy is emptied and marked as awaited. The caller
  // starts a read into it (refused reads end at once, as any read).
  ImageHost& begin();
  // Every read's end, whoever started it: true when it was this
  // comparison's read and the device's image arrived. The result is taken
  // after the engine has finished with the answer that ended the read.
  bool readEnded();
  // The differences from the window's image (the page on show gathered
  // first, as for Save) to the device's; nothing when no image is waiting.
  std::optional<Result> take(ImageHost& window);

  // "载入设备配置": the device's image into the pages, said in the log.
  static void loadDevice(ImageHost& window, LogSink& log, const std::vector<uint8_t>& device);

 private:
  class DeviceCopy final : public ImageHost {
   public:
    void loadImage(const uint8_t* data, int32_t length) override {
      bytes_.assign(data, data + (data != nullptr && length > 0 ? length : 0));
      arrived_ = true;
    }
    bool gatherCurrentPage() override { return true; }
    const std::vector<uint8_t>& configImage() const override { return bytes_; }
    void forget() { bytes_.clear(), arrived_ = false; }
    bool arrived() const { return arrived_; }

   private:
    std::vector<uint8_t> bytes_;
    bool arrived_ = false;
  };

  DeviceCopy copy_;
  bool comparing_ = false;  // a comparison's read is running
};

// The result dialog's heading for this many differing settings.
std::string compareHeading(size_t differences);

// 恢复备份's open dialog starts in the folder the tool keeps its backups in,
// when there is one; empty otherwise (the usual folder).
std::string backupStartFolder();
// Logged once a backup is in the pages, before the comparison starts.
const char* backupLoadedLine();

}  // namespace velmora

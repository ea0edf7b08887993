// The configuration image and the pages behind it, apart from any window:
// how the image moves into every image page (loadImage, New), how the page
// on show stores into it (gatherCurrentPage), and the store-then-load of a
// page change. Both main windows hold one; their tab hosts name the pages.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "config/dialog_child_base.h"
#include "config/image_host.h"
#include "base/tr_text.h"

namespace velmora {

// The tab captions by slot, both windows' (trText context "TabManager").
inline constexpr std::array<const char*, 10> kTabCaptions = {
    VELMORA_TR_NOOP("TabManager", "连接"),           VELMORA_TR_NOOP("TabManager", "串口参数"),
    VELMORA_TR_NOOP("TabManager", "网络参数"),       VELMORA_TR_NOOP("TabManager", "网络服务器端口"),
    VELMORA_TR_NOOP("TabManager", "保持寄存器配置"), VELMORA_TR_NOOP("TabManager", "数据测试"),
    VELMORA_TR_NOOP("TabManager", "参数列表"),       VELMORA_TR_NOOP("TabManager", "日志"),
    VELMORA_TR_NOOP("TabManager", "帮助"),           VELMORA_TR_NOOP("TabManager", "通信监视")};

// The tab host's slots as the image sees them.
class PageSlots {
 public:
  virtual ~PageSlots() = default;
  // The page in slot when it takes part in the image; null otherwise
  // (an empty slot, the connection, log, help and monitor pages).
  virtual DialogChildBase* imagePage(int slot) const = 0;
  // The slot on show; -1 before the first page is shown.
  virtual int currentPage() const = 0;
};

class PageImage final : public ImageHost {
 public:
  static constexpr int kSlotCount = 10;
  using Log = std::function<void(const std::string&)>;

  explicit PageImage(Log log) : log_(std::move(log)) {}
  // Null (the default): no pages; the image still loads, and gathers nothing.
  void setSlots(const PageSlots* pages) { slots_ = pages; }

  void loadImage(const uint8_t* data, int32_t length) override;
  bool gatherCurrentPage() override;
  const std::vector<uint8_t>& configImage() const override { return image_; }

  // 新建: the image emptied, every image page told there is none, logged.
  void newImage();
  // A page change, the half before the new page shows: the page on show
  // stores its units, then the page in slot loads from the result.
  void changePage(int slot);
  // The page in slot loads from the image as it is.
  void loadPage(int slot);

 private:
  const PageSlots* slots_ = nullptr;
  Log log_;
  std::vector<uint8_t> image_;
};

}  // namespace velmora

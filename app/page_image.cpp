#include "app/page_image.h"

#include "base/tr_text.h"
#include "config/image_rules.h"

namespace velmora {

void PageImage::loadImage(const uint8_t* data, int32_t length) {
  if (data != nullptr && length > 0)
    image_.assign(data, data + length);
  else
    image_.clear();
  if (slots_ == nullptr) return;
  // The pages get the caller's bytes, not the copy.
  for (int slot = 0; slot < kSlotCount; ++slot)
    if (DialogChildBase* page = slots_->imagePage(slot)) page->loadFromImage(data, length);
}

bool PageImage::gatherCurrentPage() {
  if (slots_ == nullptr) return false;
  DialogChildBase* page = slots_->imagePage(slots_->currentPage());
  if (page == nullptr) return false;
  return gatherPageIntoImage(image_, *page, [this](const std::string& line) {
    if (log_) log_(line);
  });
}

void PageImage::newImage() {
  image_.clear();
  if (slots_ != nullptr) {
    const uint8_t zero = 0;
    for (int slot = 0; slot < kSlotCount; ++slot)
      if (DialogChildBase* page = slots_->imagePage(slot)) page->loadFromImage(&zero, 0);
  }
  if (log_) log_(trText("MainDialog", "新建：清空数据"));
}

void PageImage::changePage(int slot) {
  gatherCurrentPage();
  loadPage(slot);
}

void PageImage::loadPage(int slot) {
  if (slots_ == nullptr) return;
  if (DialogChildBase* page = slots_->imagePage(slot))
    page->loadFromImage(image_.empty() ? nullptr : image_.data(), static_cast<int32_t>(image_.size()));
}

}  // namespace velmora

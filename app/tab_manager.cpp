#include "app/tab_manager.h"

#include <QFrame>
#include <QSignalBlocker>
#include <QTabBar>

#include <algorithm>

#include "app/page_image.h"
#include "ui/language_qt.h"
#include "ui/ui_kit_qt.h"

namespace velmora {

const std::array<const char*, TabManager::kSlotCount> TabManager::kCaptions = kTabCaptions;

TabManager::TabManager(QWidget* parent) : QWidget(parent) {
  setFont(ui::pageFont());
  pane_ = new QFrame(this);
  pane_->setFrameShape(QFrame::StyledPanel);
  tabBar_ = new QTabBar(this);
  ui::setControlId(tabBar_, kTabControlId);
  tabBar_->setFont(ui::pageFont());
  tabBar_->setDrawBase(false);
  tabBar_->setExpanding(false);
  tabBar_->setUsesScrollButtons(true);
  // The bar reports user changes only; selectPage blocks the signal so a
  // programmatic change never stores and loads twice.
  connect(tabBar_, &QTabBar::currentChanged, this, &TabManager::onUserSelection);
}

TabManager::~TabManager() {
  for (QWidget*& page : pages_) {
    delete page;
    page = nullptr;
  }
}

void TabManager::createPages(const std::function<QWidget*(int slot, QWidget* parent)>& make) {
  for (int slot = 0; slot < kSlotCount; ++slot)
    addPage(ui::trQ("TabManager", kCaptions[slot]), make ? make(slot, this) : nullptr);
  {
    const QSignalBlocker blocker(tabBar_);
    tabBar_->setCurrentIndex(0);
  }
  if (pages_[0] == nullptr) return;
  showSlot(0);
}

QWidget* TabManager::addPage(const QString& caption, QWidget* page) {
  if (caption.isEmpty() || page == nullptr) return nullptr;
  int slot = -1;
  for (int i = 0; i < kSlotCount; ++i)
    if (pages_[i] == nullptr) {
      slot = i;
      break;
    }
  if (slot < 0) {
    delete page;
    return nullptr;
  }
  {
    const QSignalBlocker blocker(tabBar_);
    tabBar_->insertTab(slot, caption);
  }
  page->setParent(this);
  page->hide();
  pages_[slot] = page;
  return page;
}

QWidget* TabManager::page(int slot) const {
  if (slot < 0 || slot >= kSlotCount) return nullptr;
  return pages_[slot];
}

void TabManager::showSlot(int slot) {
  if (QWidget* old = page(currentPage_)) old->hide();
  currentPage_ = slot;
  pages_[slot]->show();
  layoutPages();
}

void TabManager::selectPage(int slot) {
  if (slot < 0 || slot >= kSlotCount) return;
  if (image_ != nullptr) image_->changePage(slot);
  {
    const QSignalBlocker blocker(tabBar_);
    tabBar_->setCurrentIndex(slot);
  }
  if (pages_[slot] == nullptr) return;
  showSlot(slot);
}

void TabManager::onUserSelection(int index) {
  if (image_ != nullptr) {
    // No tab left (the bar emptied): the page that was on show still stores.
    if (index < 0) {
      image_->gatherCurrentPage();
      return;
    }
    image_->changePage(index);
  }
  if (index >= 0 && index < kSlotCount && pages_[index] != nullptr) showSlot(index);
}

QRect TabManager::pageRect() const {
  const int barHeight = tabBar_->sizeHint().height();
  return QRect(0, barHeight, width(), height() - barHeight).adjusted(2, 2, -2, -2);
}

QSize TabManager::minimumSizeHint() const {
  QSize pages(0, 0);
  for (const QWidget* p : pages_)
    if (p != nullptr) pages = pages.expandedTo(p->minimumSizeHint()).expandedTo(p->minimumSize());
  const QSize bar = tabBar_->sizeHint();  // every tab at its full caption
  return QSize(std::max(bar.width(), pages.width() + 4), bar.height() + pages.height() + 4);
}

void TabManager::layoutPages() {
  const QRect area = pageRect();
  for (QWidget* p : pages_)
    if (p != nullptr) p->setGeometry(area);
}

void TabManager::resizeEvent(QResizeEvent* event) {
  QWidget::resizeEvent(event);
  const int barHeight = tabBar_->sizeHint().height();
  tabBar_->setGeometry(0, 0, width(), barHeight);
  pane_->setGeometry(0, barHeight - 1, width(), height() - barHeight + 1);
  layoutPages();
}

}  // namespace velmora

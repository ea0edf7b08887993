// The tab host: ten pages in fixed slots behind one tab bar. Every page
// change lets the page being left store its units into the image before the
// page being entered loads from it.
#pragma once

#include <QWidget>

#include <array>
#include <functional>

class QFrame;
class QTabBar;

namespace velmora {

class PageImage;

class TabManager : public QWidget {
  Q_OBJECT
 public:
  static constexpr int kTabControlId = 1003;
  static constexpr int kSlotCount = 10;
  // Slots other parts rely on.
  static constexpr int kConnectSlot = 0;
  static constexpr int kLogSlot = 7;
  static constexpr int kHelpSlot = 8;
  // After the nine that were always there, so none of them moves.
  static constexpr int kMonitorSlot = 9;

  explicit TabManager(QWidget* parent = nullptr);
  ~TabManager() override;

  // The image the pages share; while there is none, page changes move no
  // image data. A change lets the image store and load the pages.
  void setImage(PageImage* image) { image_ = image; }

  // Tab captions by slot.
  static const std::array<const char*, kSlotCount> kCaptions;

  // Creates the pages in slot order (make returns the page for a slot,
  // parented to this host), then shows slot 0. No image moves here: the main
  // window primes the pages afterwards.
  void createPages(const std::function<QWidget*(int slot, QWidget* parent)>& make);

  // Takes ownership of page and puts it in the first free slot with a tab
  // captioned caption; returns the page, or null when every slot is taken
  // (the page is then deleted).
  QWidget* addPage(const QString& caption, QWidget* page);

  // A page change made by the program: store the page shown, load the new one.
  void selectPage(int slot);
  // Sizes every page to the tab's display area less 2 pixels on each side.
  void layoutPages();

  QWidget* page(int slot) const;
  int currentPage() const { return currentPage_; }
  QTabBar* tabControl() const { return tabBar_; }
  // The rectangle every page is given.
  QRect pageRect() const;

  // Room for the whole tab bar (every caption whole, no scrolling) above the
  // largest minimum any page asks for.
  QSize minimumSizeHint() const override;

 protected:
  void resizeEvent(QResizeEvent* event) override;

 private:
  void onUserSelection(int index);
  void showSlot(int slot);

  PageImage* image_ = nullptr;
  QTabBar* tabBar_ = nullptr;
  QFrame* pane_ = nullptr;
  std::array<QWidget*, kSlotCount> pages_{};
  int currentPage_ = -1;
};

}  // namespace velmora

// A tooltip control for a page: tools registered with their texts, its own
// delays (appear, stay, re-show when moving between tools) and a maximum
// tip width, shown in its own word-wrapping window.
#pragma once

#include <QElapsedTimer>
#include <QFont>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

class QLabel;
class QWidget;

namespace velmora {

class ToolTipWidget : public QObject {
  Q_OBJECT

 public:
  explicit ToolTipWidget(QWidget* owner);
  ~ToolTipWidget() override;

  void setDelays(int initialMs, int autoPopMs, int reshowMs);
  void setMaxTipWidth(int pixels);
  void setTipFont(const QFont& font);
  // The tip covers the whole tool; text is shown as given ("\r\n" breaks a line).
  void addTool(QWidget* tool, const QString& text);
  void activate(bool active);

  int toolCount() const { return static_cast<int>(texts_.size()); }
  QString toolText(const QWidget* tool) const;
  int initialDelay() const { return initialMs_; }
  int autoPopDelay() const { return autoPopMs_; }
  int reshowDelay() const { return reshowMs_; }
  int maxTipWidth() const { return maxWidth_; }
  bool isActive() const { return active_; }

  // The tip window while a tip is up, for the page and its tests.
  bool isTipVisible() const;
  QString visibleText() const;
  QLabel* tipWindow() const { return tip_; }
  // Shows the tool's tip now, as if the pointer had rested on it.
  void showTipFor(QWidget* tool);
  void hideTip();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void pointerEntered(QWidget* tool);

  QHash<const QWidget*, QString> texts_;
  QLabel* tip_ = nullptr;
  QTimer showTimer_;
  QTimer hideTimer_;
  QElapsedTimer sinceHidden_;
  QPointer<QWidget> pending_;
  int initialMs_ = 500;
  int autoPopMs_ = 5000;
  int reshowMs_ = 100;
  int maxWidth_ = 300;
  bool active_ = false;
};

}  // namespace velmora

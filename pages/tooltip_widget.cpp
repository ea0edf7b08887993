#include "pages/tooltip_widget.h"

#include <QCursor>
#include <QEvent>
#include <QGuiApplication>
#include <QLabel>
#include <QScreen>
#include <QWidget>

namespace velmora {

ToolTipWidget::ToolTipWidget(QWidget* owner) : QObject(owner) {
  tip_ = new QLabel(nullptr, Qt::ToolTip | Qt::FramelessWindowHint);
  tip_->setWordWrap(true);
  tip_->setTextFormat(Qt::PlainText);
  tip_->setMargin(6);
  tip_->setForegroundRole(QPalette::ToolTipText);
  tip_->setBackgroundRole(QPalette::ToolTipBase);
  tip_->setAutoFillBackground(true);
  tip_->setFrameStyle(QFrame::Box | QFrame::Plain);
  showTimer_.setSingleShot(true);
  hideTimer_.setSingleShot(true);
  connect(&showTimer_, &QTimer::timeout, this, [this] {
    if (pending_) showTipFor(pending_);
  });
  connect(&hideTimer_, &QTimer::timeout, this, &ToolTipWidget::hideTip);
}

ToolTipWidget::~ToolTipWidget() { delete tip_; }

void ToolTipWidget::setDelays(int initialMs, int autoPopMs, int reshowMs) {
  initialMs_ = initialMs;
  autoPopMs_ = autoPopMs;
  reshowMs_ = reshowMs;
}

void ToolTipWidget::setMaxTipWidth(int pixels) { maxWidth_ = pixels; }

void ToolTipWidget::setTipFont(const QFont& font) { tip_->setFont(font); }

void ToolTipWidget::addTool(QWidget* tool, const QString& text) {
  if (tool == nullptr) return;
  texts_.insert(tool, text);
  tool->installEventFilter(this);
  connect(tool, &QObject::destroyed, this, [this, tool] { texts_.remove(tool); });
}

void ToolTipWidget::activate(bool active) {
  active_ = active;
  if (!active) hideTip();
}

QString ToolTipWidget::toolText(const QWidget* tool) const { return texts_.value(tool); }

bool ToolTipWidget::isTipVisible() const { return tip_->isVisible(); }

QString ToolTipWidget::visibleText() const { return tip_->isVisible() ? tip_->text() : QString(); }

void ToolTipWidget::showTipFor(QWidget* tool) {
  if (!active_ || tool == nullptr || !texts_.contains(tool)) return;
  QString text = texts_.value(tool);
  text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  tip_->setText(text);
  // One line when it fits, otherwise wrapped at the maximum width.
  const QSize natural = tip_->sizeHint();
  const int width = qMin(natural.width(), maxWidth_);
  tip_->setFixedWidth(width);
  tip_->setFixedHeight(tip_->heightForWidth(width));
  QPoint at = QCursor::pos() + QPoint(0, 20);
  if (!tool->rect().contains(tool->mapFromGlobal(QCursor::pos())))
    at = tool->mapToGlobal(QPoint(0, tool->height() + 2));
  if (const QScreen* screen = tool->screen()) {
    const QRect area = screen->availableGeometry();
    at.setX(qBound(area.left(), at.x(), qMax(area.left(), area.right() - width)));
    at.setY(qBound(area.top(), at.y(), qMax(area.top(), area.bottom() - tip_->height())));
  }
  tip_->move(at);
  tip_->show();
  tip_->raise();
  hideTimer_.start(autoPopMs_);
}

void ToolTipWidget::hideTip() {
  showTimer_.stop();
  hideTimer_.stop();
  if (tip_->isVisible()) {
    tip_->hide();
    sinceHidden_.start();
  }
}

void ToolTipWidget::pointerEntered(QWidget* tool) {
  pending_ = tool;
  // Moving straight from one tip to the next tool uses the short delay.
  const bool recent = tip_->isVisible() || (sinceHidden_.isValid() && sinceHidden_.elapsed() < initialMs_);
  showTimer_.start(recent ? reshowMs_ : initialMs_);
}

bool ToolTipWidget::eventFilter(QObject* watched, QEvent* event) {
  auto* tool = qobject_cast<QWidget*>(watched);
  if (tool == nullptr || !texts_.contains(tool) || !active_) return QObject::eventFilter(watched, event);
  switch (event->type()) {
    case QEvent::Enter:
      pointerEntered(tool);
      break;
    case QEvent::MouseMove:
      // The pointer must rest before a tip appears.
      if (!tip_->isVisible() && pending_ == tool) showTimer_.start(showTimer_.interval());
      break;
    case QEvent::Leave:
    case QEvent::MouseButtonPress:
    case QEvent::Hide:
      pending_ = nullptr;
      hideTip();
      break;
    case QEvent::ToolTip:
      return true;  // this control shows the tips, not Qt's own
    default:
      break;
  }
  return QObject::eventFilter(watched, event);
}

}  // namespace velmora

// TAlphaShowHide: the opacity steps on activation, hide and close of the owner window.
#include "ui/controls/WindowFade.h"

#include <QEvent>
#include <chrono>
#include <thread>

namespace korvel {

namespace {
constexpr int kOpaque = 255;
}

TAlphaShowHide::TAlphaShowHide(QWidget* owner) : QObject(owner), owner_(owner) {}

TAlphaShowHide::~TAlphaShowHide() {
  // The owner may be half destroyed here, so only the watch is removed.
  if (active_ && owner_) owner_->removeEventFilter(this);
  active_ = false;
}

void TAlphaShowHide::SetActive(bool active) {
  if (active_ == active || !owner_) {
    active_ = active && owner_;
    return;
  }
  active_ = active;
  if (active) {
    owner_class_ = owner_->metaObject();
    owner_->installEventFilter(this);
    // A window that is still being built starts transparent and layered.
    if (!owner_->isVisible()) SetOpacity(0);
  } else {
    owner_->removeEventFilter(this);
    // Without the fade nothing would ever make the window visible again.
    SetOpacity(kOpaque);
  }
}

void TAlphaShowHide::SetDeltaAlpha(int delta) {
  delta_alpha_ = delta < 1 ? 1 : delta;
}

void TAlphaShowHide::ClearOpacitySteps() {
  steps_.clear();
  calls_.clear();
}

void TAlphaShowHide::SetOpacity(int alpha) {
  calls_.push_back(alpha);
  owner_->setWindowOpacity(alpha / static_cast<double>(kOpaque));
}

void TAlphaShowHide::Step(int alpha) {
  SetOpacity(alpha);
  steps_.push_back(alpha);
  owner_->repaint();
  if (OnOpacityStep) OnOpacityStep(alpha);
  if (step_delay_ms_ > 0) std::this_thread::sleep_for(std::chrono::milliseconds(step_delay_ms_));
}

void TAlphaShowHide::FadeIn() {
  if (!owner_) return;
  SetOpacity(0);
  owner_->repaint();
  int alpha = 0;
  while (alpha < kOpaque && owner_) {
    alpha = alpha + delta_alpha_ > kOpaque ? kOpaque : alpha + delta_alpha_;
    Step(alpha);
  }
}

void TAlphaShowHide::FadeOut() {
  int alpha = kOpaque;
  while (alpha > 0 && owner_) {
    alpha = alpha - delta_alpha_ < 0 ? 0 : alpha - delta_alpha_;
    Step(alpha);
  }
}

// A window's destructor hides it once its own class's part is gone; no fade (and no handler of
// that class) may run then. While its destructors run, the object reports a base class; while
// its constructors run, a class that grows toward the final one.
bool TAlphaShowHide::OwnerDying() {
  const QMetaObject* now = owner_->metaObject();
  if (now == owner_class_) return false;
  if (now->inherits(owner_class_)) {
    owner_class_ = now;
    return false;
  }
  return owner_class_->inherits(now);
}

bool TAlphaShowHide::eventFilter(QObject* watched, QEvent* event) {
  if (watched != owner_ || !active_ || OwnerDying()) return QObject::eventFilter(watched, event);
  // QObject::event is public, so the owner's own handler can run before the fade; calling it
  // directly passes no event filter, so this one is not entered again.
  QObject* owner = owner_;
  switch (event->type()) {
    case QEvent::WindowActivate:
      faded_on_close_ = false;
      FadeIn();
      return false;  // the window's own handler follows
    case QEvent::Hide:
      owner->event(event);
      if (faded_on_close_) {
        faded_on_close_ = false;
      } else {
        FadeOut();
      }
      return true;
    case QEvent::Close: {
      const bool was_visible = owner_->isVisible();
      owner->event(event);
      // A refused close must not leave the window transparent.
      if (event->isAccepted() && was_visible && owner_ && owner_->isVisible()) {
        FadeOut();
        faded_on_close_ = true;
      }
      return true;
    }
    default:
      return QObject::eventFilter(watched, event);
  }
}

}  // namespace korvel

// TAlphaShowHide: fades its owner window in on every activation and out on hide and close.
#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>
#include <functional>
#include <vector>

namespace korvel {

// A non-visual component owned by a window (its QObject parent). While Active it watches the
// owner: when turned on before the owner is shown, it sets opacity 0; on every activation it
// sets 0 and steps up by DeltaAlpha to 255; on hide it steps down from 255 to 0; a close the
// window accepts fades out before the window disappears. Each step sets the window opacity and
// repaints at once; there is no timer. The window's own event handlers run as usual: before
// the fade-out on hide and close, after the fade-in on activation. The owner's class should
// carry Q_OBJECT: that is how the component sees the window being destroyed (and then stays
// out of the way).
class TAlphaShowHide : public QObject {
  Q_OBJECT
 public:
  explicit TAlphaShowHide(QWidget* owner);
  ~TAlphaShowHide() override;  // sets Active false

  bool Active() const { return active_; }  // default false
  void SetActive(bool active);             // turning it off gives the window full opacity back
  int DeltaAlpha() const { return delta_alpha_; }  // default 25; a value below 1 is taken as 1
  void SetDeltaAlpha(int delta);

  // The two fades, also for a window that wants one outside its events.
  void FadeIn();
  void FadeOut();

  // --- Test hooks --------------------------------------------------------------------------
  // The fade steps set so far (10, 20, ... 250, 255 for a fade-in with step 10; 245 ... 5, 0
  // for a fade-out); the starting 0 of a fade-in and the 0 of the create step are not steps.
  const std::vector<int>& OpacitySteps() const { return steps_; }
  // Every opacity (0 to 255) the component gave the window, steps and starting values alike.
  const std::vector<int>& OpacityCalls() const { return calls_; }
  void ClearOpacitySteps();
  // Fired after each fade step with its opacity.
  std::function<void(int alpha)> OnOpacityStep;
  // A pause after each step, in milliseconds; 0 (the default) runs as fast as the repaints allow.
  int StepDelayMs() const { return step_delay_ms_; }
  void SetStepDelayMs(int ms) { step_delay_ms_ = ms < 0 ? 0 : ms; }

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void SetOpacity(int alpha);
  void Step(int alpha);

  bool OwnerDying();

  QPointer<QWidget> owner_;
  const QMetaObject* owner_class_ = nullptr;  // the owner's class while it is whole
  bool active_ = false;
  int delta_alpha_ = 25;
  int step_delay_ms_ = 0;
  bool in_event_ = false;        // re-dispatching an event to the owner
  bool faded_on_close_ = false;  // the hide that follows an accepted close needs no second fade
  std::vector<int> steps_;
  std::vector<int> calls_;
};

}  // namespace korvel

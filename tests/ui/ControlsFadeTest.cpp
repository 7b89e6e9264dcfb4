// TAlphaShowHide: the opacity steps on activation, hide and close, and their order against the
// window's own handlers.
#include "ui/controls/WindowFade.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QCloseEvent>
#include <cmath>
#include <memory>
#include <string>
#include <vector>

namespace korvel {
namespace {

// A window that logs its own handlers; the fixture logs the fade's steps beside them.
class LoggingWindow : public QWidget {
  Q_OBJECT
 public:
  std::vector<std::string> log;
  bool refuse_close = false;

 protected:
  bool event(QEvent* event) override {
    if (event->type() == QEvent::WindowActivate) log.push_back("activate");
    return QWidget::event(event);
  }
  void hideEvent(QHideEvent*) override { log.push_back("hide"); }
  void closeEvent(QCloseEvent* event) override {
    log.push_back("close");
    if (refuse_close) event->ignore();
  }
};

struct Fixture {
  LoggingWindow window;
  TAlphaShowHide* fade = new TAlphaShowHide(&window);
  Fixture() {
    fade->SetDeltaAlpha(10);
    fade->OnOpacityStep = [this](int alpha) { window.log.push_back(std::to_string(alpha)); };
    fade->SetActive(true);
  }
  void Activate() {
    QEvent activate(QEvent::WindowActivate);
    QApplication::sendEvent(&window, &activate);
  }
  int Opacity() const { return static_cast<int>(std::lround(window.windowOpacity() * 255)); }
  void Clear() {
    fade->ClearOpacitySteps();
    window.log.clear();
  }
};

std::vector<int> Steps(int from, int to, int step) {
  std::vector<int> values;
  for (int v = from; step > 0 ? v < to : v > to; v += step) values.push_back(v);
  values.push_back(to);
  return values;
}

const std::vector<int> kFadeIn = Steps(10, 255, 10);   // 10 ... 250, 255
const std::vector<int> kFadeOut = Steps(245, 0, -10);  // 245 ... 5, 0

TEST(ControlsFade, CreatedTransparentThenFadesInOnEveryActivation) {
  Fixture f;
  EXPECT_EQ(f.fade->OpacityCalls(), std::vector<int>{0});  // the create step
  EXPECT_EQ(f.Opacity(), 0);
  for (int i = 0; i < 2; ++i) {
    f.Clear();
    f.Activate();
    EXPECT_EQ(f.fade->OpacitySteps(), kFadeIn);
    EXPECT_EQ(f.fade->OpacityCalls().front(), 0);  // each fade-in starts transparent
    EXPECT_EQ(f.Opacity(), 255);
    // The window's own activation handler follows the fade.
    EXPECT_EQ(f.window.log.front(), "10");
    EXPECT_EQ(f.window.log.back(), "activate");
  }
}

TEST(ControlsFade, HideAndCloseFadeOutAfterTheWindowsHandlers) {
  Fixture f;
  f.window.show();
  f.Clear();
  f.window.hide();
  EXPECT_EQ(f.fade->OpacitySteps(), kFadeOut);
  EXPECT_EQ(f.Opacity(), 0);
  EXPECT_EQ(f.window.log.front(), "hide");

  f.window.show();
  f.Activate();
  f.Clear();
  f.window.refuse_close = true;  // a refused close leaves the window as it is
  EXPECT_FALSE(f.window.close());
  EXPECT_TRUE(f.fade->OpacitySteps().empty());
  EXPECT_EQ(f.Opacity(), 255);

  f.window.refuse_close = false;
  f.Clear();
  EXPECT_TRUE(f.window.close());
  EXPECT_EQ(f.fade->OpacitySteps(), kFadeOut);  // once, not again for the hide
  EXPECT_EQ(f.window.log.front(), "close");
  EXPECT_EQ(f.window.log.back(), "hide");
}

TEST(ControlsFade, StepSizes) {
  Fixture f;
  f.fade->SetDeltaAlpha(255);
  f.Activate();
  EXPECT_EQ(f.fade->OpacitySteps(), std::vector<int>{255});
  f.Clear();
  f.fade->FadeOut();
  EXPECT_EQ(f.fade->OpacitySteps(), std::vector<int>{0});
  f.fade->SetDeltaAlpha(100);
  f.Clear();
  f.fade->FadeIn();
  EXPECT_EQ(f.fade->OpacitySteps(), (std::vector<int>{100, 200, 255}));
  // A step below 1 would never end: it is taken as 1.
  for (int delta : {0, -5}) {
    f.fade->SetDeltaAlpha(delta);
    f.Clear();
    f.fade->FadeIn();
    EXPECT_EQ(f.fade->OpacitySteps(), Steps(1, 255, 1));
    f.Clear();
    f.fade->FadeOut();
    EXPECT_EQ(f.fade->OpacitySteps(), Steps(254, 0, -1));
  }
}

TEST(ControlsFade, InactiveOrDestroyedLeavesTheWindowAlone) {
  Fixture f;
  f.fade->SetActive(false);
  EXPECT_EQ(f.Opacity(), 255);  // not left invisible
  f.Clear();
  f.Activate();
  f.window.show();
  f.window.hide();
  EXPECT_EQ(f.window.log, (std::vector<std::string>{"activate", "hide"}));

  f.fade->SetActive(true);
  delete f.fade;
  f.window.log.clear();
  f.window.show();
  f.Activate();
  f.window.close();
  EXPECT_EQ(f.window.log, (std::vector<std::string>{"activate", "close", "hide"}));

  // A shown window's destructor hides it after its own parts are gone: no fade then.
  std::vector<int> steps;
  {
    auto window = std::make_unique<LoggingWindow>();
    auto* fade = new TAlphaShowHide(window.get());
    fade->OnOpacityStep = [&](int alpha) { steps.push_back(alpha); };
    fade->SetActive(true);
    window->show();
    steps.clear();
  }
  EXPECT_TRUE(steps.empty());
}

}  // namespace
}  // namespace korvel

#include "ControlsFadeTest.moc"

// What the dialog tests share: acting on a dialog while its modal Execute runs, and finding its
// controls by their design names.
#pragma once

#include <gtest/gtest.h>

#include <QDialog>
#include <QTimer>
#include <QWidget>
#include <functional>

#include "ui/Boxes.h"

namespace korvel::test {

// Runs `action` once the dialog is shown by the modal call the test makes next. A dialog the
// action leaves open is closed, so a failing test never hangs.
inline void WhenShown(QDialog& dialog, std::function<void()> action) {
  QTimer::singleShot(0, &dialog, [&dialog, action = std::move(action)] {
    EXPECT_TRUE(dialog.isVisible());
    action();
    if (dialog.isVisible()) dialog.done(QDialog::Rejected);
  });
}

// A control of `parent` by its objectName; fails the test when it is missing.
template <typename T>
T* Child(QWidget& parent, const char* name) {
  T* child = parent.findChild<T*>(QString::fromLatin1(name));
  EXPECT_NE(child, nullptr) << name;
  return child;
}

// Every test starts with no recorded box and no queued answer.
class BoxesReset {
 public:
  BoxesReset() { Boxes::EnableTestMode(true); }
  ~BoxesReset() { Boxes::EnableTestMode(true); }
};

}  // namespace korvel::test

// The window tests' entry point: an offscreen QApplication, then GoogleTest.
#include <gtest/gtest.h>

#include <QApplication>

#include "ui/Boxes.h"

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  korvel::Boxes::EnableTestMode(true);  // no real modal window in a test
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}

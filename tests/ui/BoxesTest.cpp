// The box and file-dialog seam: answers and names come from the queue in test mode.
#include "ui/Boxes.h"

#include <gtest/gtest.h>

namespace korvel {
namespace {

TEST(Boxes, TestModeRecordsBoxesAndAnswersFromTheQueue) {
  Boxes::EnableTestMode(true);
  Boxes::Show(nullptr, BoxKind::kError, "broken");
  Boxes::QueueAnswer(false);
  EXPECT_FALSE(Boxes::Ask(nullptr, "sure?"));
  EXPECT_TRUE(Boxes::Ask(nullptr, "again?"));  // empty queue: Yes
  ASSERT_EQ(Boxes::Shown().size(), 3u);
  EXPECT_EQ(Boxes::Shown()[0].kind, BoxKind::kError);
  EXPECT_EQ(Boxes::Shown()[1].text, "sure?");

  Boxes::QueueFiles({"/a.jar", "/b.jar"});
  EXPECT_EQ(Boxes::OpenFile(nullptr, "Open Jar", "*.jar"), "/a.jar");
  EXPECT_EQ(Boxes::OpenFile(nullptr, "Open Jar", "*.jar"), "");  // cancelled
  EXPECT_EQ(BoxTitle(BoxKind::kConfirm), "Confirm");
  Boxes::EnableTestMode(true);
  EXPECT_TRUE(Boxes::Shown().empty());
}

}  // namespace
}  // namespace korvel

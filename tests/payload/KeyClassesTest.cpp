// The key canvases the program carries are what their sources make: a change to a source without
// rebuilding the class files (tools/make_key_classes.sh) fails here.
#include <gtest/gtest.h>

#include <string>

#include "support/TempDir.h"

namespace korvel {
namespace {

TEST(KeyClasses, TheCarriedClassesAreBuiltFromTheirSources) {
  const test::TempDir out;
  std::string log;
  ASSERT_EQ(
      test::RunCommand(
          "bash '" + test::SourceFile("tools/make_key_classes.sh") + "' '" + out.Path() + "'", log),
      0)
      << log;
  for (const char* name : {"FullKeyCn.class", "FullKeyGameCn.class", "KeyMap.class"}) {
    EXPECT_TRUE(test::ReadFile(out / name) ==
                test::ReadFile(test::SourceFile(std::string("payload/") + name)))
        << name << " differs from what tools/make_key_classes.sh makes";
  }
}

}  // namespace
}  // namespace korvel

// Tests of run-time library loading: the system's search for bare names, symbols, the module's
// path and failures.
#include "platform/DynamicLibrary.h"

#include <gtest/gtest.h>

#include <string>

namespace korvel::platform {
namespace {

TEST(DynamicLibrary, BareNameFallsBackToTheSystemSearch) {
  std::string error;
  auto library = DynamicLibrary::Load("libc.so.6", &error);
  ASSERT_NE(library, nullptr) << error;
  EXPECT_NE(library->Symbol("strlen"), nullptr);
  EXPECT_EQ(library->Symbol("no_such_symbol_here"), nullptr);
  // The loader names the file it found, not the bare name it was given.
  std::string path = library->ModulePath();
  EXPECT_NE(path.find('/'), std::string::npos) << path;
  EXPECT_NE(path.find("libc"), std::string::npos) << path;
}

TEST(DynamicLibrary, MissingLibraryGivesTheReason) {
  std::string error;
  EXPECT_EQ(DynamicLibrary::Load("/nonexistent/libnothing.so", &error), nullptr);
  EXPECT_NE(error.find("libnothing"), std::string::npos) << error;
  EXPECT_EQ(DynamicLibrary::Load("libnothing-at-all.so"), nullptr);
}

}  // namespace
}  // namespace korvel::platform

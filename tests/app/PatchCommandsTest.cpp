// korvel-patch's commands in-process: the argument parser, the folder walk, JSON and the summary.
#include "app/PatchCommands.h"

#include <gtest/gtest.h>

#include <sstream>

#include "support/TempDir.h"

namespace korvel {
namespace {

using test::TempDir;

// What a command line gives; `error` names the start of the usage error's text instead.
struct ParseCase {
  std::vector<std::string> args;
  std::string error;
  std::vector<std::string> files = {};
  int width = 128;
  bool nokia = true;
  bool quiet = false;
  std::string handset_keys = "none";
  std::string game_keys = "";
};

class ParsePatchArgumentsTest : public testing::TestWithParam<ParseCase> {};

TEST_P(ParsePatchArgumentsTest, GivesTheOptionsOrAUsageError) {
  const ParseCase& c = GetParam();
  Settings settings;
  if (!c.error.empty()) {
    try {
      ParsePatchArguments(c.args, settings);
      ADD_FAILURE() << "no usage error";
    } catch (const UsageError& e) {
      EXPECT_EQ(std::string(e.what()).rfind(c.error, 0), 0u) << e.what();
    }
    return;
  }
  const PatchOptions options = ParsePatchArguments(c.args, settings);
  EXPECT_EQ(options.files, c.files);
  EXPECT_EQ(settings.ResW, c.width);
  EXPECT_EQ(settings.Nokia, c.nokia);
  EXPECT_EQ(options.quiet, c.quiet);
  EXPECT_EQ(KeyLayoutName(settings.HandsetKeys), c.handset_keys);
  EXPECT_EQ(options.game_keys ? KeyLayoutName(options.game_keys->layout) : "", c.game_keys);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, ParsePatchArgumentsTest,
    testing::Values(
        ParseCase{{"a.jar", "b.jar"}, "", {"a.jar", "b.jar"}},
        ParseCase{
            {"--width", "100", "--no-nokia", "--quiet", "a.jar"}, "", {"a.jar"}, 100, false, true},
        ParseCase{{"--", "--odd.jar", "-"}, "", {"--odd.jar", "-"}},
        ParseCase{{"--width", "0", "a.jar"}, "--width needs a number from 1 to 255"},
        ParseCase{{"--height", "12x", "a.jar"}, "--height needs a number"},
        ParseCase{{"a.jar", "--lang"}, "--lang needs a value"},
        ParseCase{{"--bogus", "a.jar"}, "unknown option --bogus"},
        ParseCase{{"--quiet"}, "no JAR given"},
        ParseCase{{"--restore", "--dry-run", "a.jar"}, "--restore and --dry-run"},
        ParseCase{{"--handset-keys", " 1-4", "--game-keys", "NONE", "a.jar"},
                  "",
                  {"a.jar"},
                  128,
                  true,
                  false,
                  "1-4",
                  "none"},
        ParseCase{{"--handset-keys", "Custom: -6,-7,-5,-1,-2,-3,-99", "a.jar"},
                  "",
                  {"a.jar"},
                  128,
                  true,
                  false,
                  "custom:-6,-7,-5,-1,-2,-3,-99"},
        ParseCase{{"--handset-keys", "custom:-6,-7,-5,-1,-2,-3", "a.jar"},
                  "--handset-keys: a custom layout has seven codes"},
        ParseCase{{"--handset-keys", "custom:-6,-6,-5,-1,-2,-3,-4", "a.jar"},
                  "--handset-keys: the seven codes of a custom layout must differ"},
        ParseCase{{"--game-keys", "3-4", "a.jar"}, "--game-keys: \"3-4\" is no key layout"}));

// A folder stands for its JARs below it in name order, whatever the letter case of ".jar".
TEST(PatchCommands, AFolderStandsForItsJarsInNameOrder) {
  const TempDir dir;
  for (const char* name : {"b.jar", "A.JAR", "notes.txt", "sub/c.jar", "sub/d.jar.bak"}) {
    dir.Write(name, "x");
  }
  std::vector<FileResult> results;
  EXPECT_EQ(ExpandArgument(dir.Path(), results),
            (std::vector<std::string>{dir.Path() + "/A.JAR", dir.Path() + "/b.jar",
                                      dir.Path() + "/sub/c.jar"}));
  EXPECT_EQ(ExpandArgument(dir / "b.jar", results), std::vector<std::string>{dir / "b.jar"});
  EXPECT_TRUE(results.empty());
}

// A result line starts with the word the batch list shows for the same outcome in English.
TEST(PatchCommands, ResultWordsAreTheBatchListsInEnglish) {
  const Language english = Language::FromFile(test::SourceFile("lang/English.lng"));
  for (const JobOutcome outcome : {JobOutcome::kAdapted, JobOutcome::kUnchanged,
                                   JobOutcome::kAlreadyAdapted, JobOutcome::kFailed}) {
    EXPECT_EQ(ResultWord(outcome, false), english[OutcomeText(outcome)]);
  }
}

TEST(PatchCommands, ResultsPrintAsLinesOrJsonAndSetTheExitStatus) {
  std::vector<FileResult> results(2);
  results[0] = {"good.jar", "adapted", "", 2, true, 100, 120, JobReport::Keys{"", "1-4", false}};
  results[1] = {"bad \"x\"\\.jar", "failed", "line\tbreak", 0, false, -1, -1, std::nullopt};
  std::ostringstream lines, json;
  PrintResults(lines, results, false, false, false);
  EXPECT_EQ(
      lines.str(),
      "adapted: good.jar\nfailed: bad \"x\"\\.jar: line\tbreak\n1 adapted, 1 failed, 0 skipped\n");
  PrintResults(json, results, true, false, false);
  EXPECT_EQ(json.str(),
            "{\"path\": \"good.jar\", \"result\": \"adapted\", \"reason\": \"\", "
            "\"classes_redirected\": 2, \"nokia\": true, \"size_before\": 100, \"size_after\": "
            "120, \"keys\": {\"game\": null, \"handset\": \"1-4\", \"translated\": false}}\n"
            "{\"path\": \"bad \\\"x\\\"\\\\.jar\", \"result\": \"failed\", \"reason\": "
            "\"line\\u0009break\", \"classes_redirected\": 0, \"nokia\": false, \"size_before\": "
            "null, \"size_after\": null, \"keys\": null}\n");
  EXPECT_EQ(ExitStatus(results), 1);
  results.pop_back();
  EXPECT_EQ(ExitStatus(results), 0);
}

}  // namespace
}  // namespace korvel

// The key decision: the handset's layout, the game's evidence and a layout given for the run.
#include "pipeline/KeyPlan.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>

namespace korvel {
namespace {

std::optional<KeyLayout> Layout(const std::string& name) {
  return ParseKeyLayout(name);
}

struct PlanCase {
  std::string handset;  // "none" or a layout
  KeyEvidence evidence;
  std::optional<std::string> given;  // --game-keys, when given
  std::string game;                  // the plan's game layout, "" for none
  bool translated;
  bool active;
  std::string map_handset;  // whose codes KeyMap carries for the handset and for the game
  std::string map_game;
};

class PlanKeysTest : public testing::TestWithParam<PlanCase> {};

TEST_P(PlanKeysTest, DecidesFromHandsetEvidenceAndOverride) {
  const PlanCase& c = GetParam();
  std::optional<GivenGameKeys> given;
  if (c.given) given = GivenGameKeys{Layout(*c.given)};
  const KeyPlan plan = PlanKeys(Layout(c.handset), c.evidence, given);
  EXPECT_EQ(plan.game ? plan.game->name : "", c.game);
  EXPECT_EQ(plan.translated, c.translated);
  EXPECT_EQ(plan.active, c.active);
  EXPECT_EQ(plan.map, (KeyMapCodes{Layout(c.map_handset)->codes, Layout(c.map_game)->codes}));
}

const KeyEvidence kNone{};
const KeyEvidence kCompared14{false, false, Layout("1-4")};
const KeyEvidence kNokiaUi{false, true, Layout("1-4")};  // the Nokia UI API wins over codes
const KeyEvidence kKeyCanvases{true, false, std::nullopt};

INSTANTIATE_TEST_SUITE_P(
    Table, PlanKeysTest,
    testing::Values(
        // The game's codes differ from the handset's: translated.
        PlanCase{"6-7", kCompared14, std::nullopt, "1-4", true, true, "6-7", "1-4"},
        // The same layout: nothing to do.
        PlanCase{"1-4", kCompared14, std::nullopt, "1-4", false, false, "1-4", "1-4"},
        PlanCase{"21-22", kNokiaUi, std::nullopt, "6-7", true, true, "21-22", "6-7"},
        // No evidence: the game's layout is unknown and nothing is translated.
        PlanCase{"1-4", kNone, std::nullopt, "", false, false, "1-4", "1-4"},
        // Key canvases from before stay, translating nothing, whatever else is known.
        PlanCase{"none", kKeyCanvases, std::nullopt, "", false, true, "6-7", "6-7"},
        PlanCase{"1-4", KeyEvidence{true, false, Layout("1-4")}, std::nullopt, "1-4", false, true,
                 "1-4", "1-4"},
        // A layout given for the run wins over the evidence; "none" means no mapping.
        PlanCase{"6-7", kCompared14, "21-22", "21-22", true, true, "6-7", "21-22"},
        PlanCase{"6-7", kCompared14, "none", "", false, false, "6-7", "6-7"}));

TEST(KeyPlan, KeysAreConsideredOnlyWithAHandsetLayoutOrKeyCanvases) {
  EXPECT_FALSE(KeysConsidered(std::nullopt, false));
  EXPECT_TRUE(KeysConsidered(std::nullopt, true));
  EXPECT_TRUE(KeysConsidered(Layout("1-4"), false));
}

}  // namespace
}  // namespace korvel

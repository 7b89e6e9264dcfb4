// What a job does about a game's keys.
#include "pipeline/KeyPlan.h"

namespace korvel {

bool KeysConsidered(const std::optional<KeyLayout>& handset, bool key_canvases) {
  return handset.has_value() || key_canvases;
}

KeyPlan PlanKeys(const std::optional<KeyLayout>& handset, const KeyEvidence& evidence,
                 const std::optional<GivenGameKeys>& given) {
  KeyPlan plan;
  if (given) {
    plan.game = given->layout;
  } else if (evidence.nokia_ui) {
    plan.game = KnownKeyLayouts()[0];  // the Nokia UI API's FullCanvas codes
  } else {
    plan.game = evidence.compared;
  }
  plan.translated = handset && plan.game && !(*handset == *plan.game);
  plan.active = plan.translated || evidence.key_canvases;
  if (plan.translated) {
    plan.map = {handset->codes, plan.game->codes};
  } else {
    // Key canvases from before that now translate nothing.
    const auto& codes = (plan.game ? *plan.game : handset ? *handset : KnownKeyLayouts()[0]).codes;
    plan.map = {codes, codes};
  }
  return plan;
}

std::string KeyPlanLine(const Language& texts, const std::optional<KeyLayout>& handset,
                        const KeyPlan& plan) {
  std::string line = texts.Text(TextId::kGameKeys) + " " +
                     (plan.game ? plan.game->name : texts.Text(TextId::kKeysNotFound)) + ", " +
                     texts.Text(TextId::kHandsetKeysFound) + " " + KeyLayoutName(handset);
  if (plan.translated) line += ", " + texts.Text(TextId::kKeysTranslated);
  return line;
}

}  // namespace korvel

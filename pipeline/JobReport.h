// What one job did, as one value that every front end renders (the main window's boxes, the
// batch list and its counts, korvel-patch's lines and JSON): none of them works it out itself.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/InjectedClasses.h"
#include "settings/Language.h"

namespace korvel {

// How a job ended.
enum class JobOutcome {
  kAdapted,    // the adapted JAR stands at the path given
  kUnchanged,  // no class could be redirected: JAR and JAD are left byte for byte as they were
  kFailed,     // the adapted JAR could not be made; the JAR is as it was
  // The game already carries our canvas class at the size asked for: left byte for byte.
  kAlreadyAdapted,
};

struct JobReport {
  JobOutcome outcome = JobOutcome::kFailed;
  // Why, in the user's words: what failed; that there is no canvas to redirect; the size an
  // earlier adaptation gave ("WxH"). Empty for an adapted game.
  std::string reason;
  int classes_redirected = 0;
  bool nokia = false;  // the Nokia classes were added
  // The size an earlier adaptation gave the game, when the job found one.
  std::optional<CanvasSize> adapted_size;
  // The JAR's size before and after (for a preview: after a run), in bytes; -1 when there was
  // no file.
  std::int64_t size_before = -1;
  std::int64_t size_after = -1;
  std::string backup;  // the backup beside the game after the job, "" for none
  // The keys, when a handset layout is set (or the game was given key canvases before): the
  // layout the game was found to be built for ("" when none was), the handset's, and whether
  // the game's canvases translate between them.
  struct Keys {
    std::string game;
    std::string handset;
    bool translated = false;
  };
  std::optional<Keys> keys;
  // Lines about classes that could not be read (left as they were).
  std::vector<std::string> warnings;

  // A preview's (PatchJob::Preview) own findings; size_after is then the size a run would leave.
  bool preview = false;
  // The descriptor carries a signature, which a run drops: the game then installs unsigned.
  bool signed_suite = false;
  std::vector<std::string> manifest_dropped;  // attributes a run would drop
  std::vector<std::string> jad_dropped;
};

// The outcome's word in the user's language: "adapted", "unchanged", "already adapted",
// "failed" with the English texts.
TextId OutcomeText(JobOutcome outcome);

// "word: reason", or the word alone when there is no reason, in `texts`' language.
std::string OutcomeLine(const Language& texts, const JobReport& report);

}  // namespace korvel

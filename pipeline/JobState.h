// One job's state, handed from step to step (pipeline/JobSteps.h): what the job was given, what it
// found in the game, what it added, and its report. Nothing of it outlives the job.
#pragma once

#include <optional>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/GameClasses.h"
#include "pipeline/GameTransaction.h"
#include "pipeline/JobReport.h"
#include "pipeline/KeyPlan.h"
#include "pipeline/PatchJob.h"
#include "settings/Settings.h"

namespace korvel {

// How the game's JAR lists its folders, which the new one follows: with an entry for each folder
// (`listed`) but those it has files in and no entry for (`unlisted`, "a/b/"), or with none.
struct FolderEntries {
  bool listed = false;
  std::vector<std::string> unlisted;
};

// The descriptor and manifest a job rewrites.
struct TextFiles {
  std::string staged_jad;  // the descriptor's copy in the job's folder
  bool have_jad = false;   // the copy is there: the game has a JAD, or one is made for it
  std::optional<std::string> manifest;  // the work folder's manifest, when there is one
};

struct JobState {
  JobState(const JobContext& context, GameTransaction& game, bool interactive, bool preview,
           const JobStepHook& on_step);

  // What the job was given.
  const JobContext& context;  // components, texts, sink, the job's folder
  const Settings settings;    // the owner's, as a job uses them (CorrectedSettings)
  GameTransaction& game;
  const std::string work_dir;
  const bool interactive;  // Console lines; else the batch gauge
  const bool preview;      // a preview touches nothing beside the game
  const JobStepHook& on_step;
  // The gauge when the step under way started, and where it ends; long steps move between them.
  int gauge_from = 0;
  int gauge_to = 0;

  // What the job found and did.
  FolderEntries folder_entries;
  std::optional<KeyLayout> handset_keys;
  KeyPlan keys;
  std::set<std::string> key_canvases;  // the classes whose key handlers are renamed
  // The game's classes, read once (by the key step when it reads them, else by the class step),
  // and what the class steps did with them.
  std::optional<GameClasses> classes;
  AdaptResult adapted;
  TextFiles text_files;
  JobReport report;

  // The job's words and progress.
  const std::string& Text(TextId id) const { return context.texts.Text(id); }
  void Console(TextId id) const { ConsoleText(Text(id)); }
  void ConsoleText(const std::string& line) const;
  void Gauge(int percent) const;
  // Before every step and change to the user's files (PatchJob::OnStep).
  void Step(std::string_view what) const {
    if (on_step) on_step(what);
  }
};

}  // namespace korvel

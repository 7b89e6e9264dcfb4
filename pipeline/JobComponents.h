// What a patch job works with, made and configured in one place for every front end (the main
// window, korvel-patch, the tests), and the rules every route to a job shares.
#pragma once

#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/Archiver.h"
#include "pipeline/PatchJob.h"
#include "search/EasyFileSearch.h"
#include "settings/Language.h"
#include "settings/Locations.h"
#include "settings/Settings.h"
#include "store/StoredItems.h"

namespace korvel {

// The archive component's settings for the job: packing keeps folder names, recurses, writes an
// entry for every folder (the job follows the game's JAR there) and packs hidden files too (a
// name starting with "." counts as hidden here, and a game's file must never be dropped), level
// 9, no suffixes stored (an entry is stored only when deflating does not shrink it); unpacking
// recreates the folders and overwrites existing files.
void ApplyPatchJobSettings(TArchiver& zip);
// The file search's settings for the job: subfolders walked, every kind of file reported.
void ApplyPatchJobSettings(TEasyFileSearch& fs);

// A file is taken as a game when its name ends in ".jar", in any letter case.
bool IsGameFileName(std::string_view name);

// The refusal of a JAR the job may not rewrite because it is set read-only, the same failure on
// every route (FailureText words it); nothing when the job may go ahead.
std::optional<Failure> ReadOnlyRefusal(const std::string& jar);

// The language file the texts are read from, for `lang_file` as the settings name it: "" (the
// built-in texts) and full paths as they are, a relative name looked up in the language folders.
std::string LanguageFilePath(const Locations& locations, const std::string& lang_file);

// The one place a job is prepared, for every front end (the main window, korvel-patch, the
// tests): the archive component and its engines, the file search and the program's store, each
// configured for the job, and the job made to work with them. The settings record and the texts
// stay with the owner, who may change them between jobs.
class JobComponents {
 public:
  JobComponents(const Settings& settings, const Language& texts);
  JobComponents(const JobComponents&) = delete;
  JobComponents& operator=(const JobComponents&) = delete;

  // The folder the engines are loaded from; by default the program's own.
  void SetEngineDirectory(const std::string& dir);
  // Loads both engines, once for every job to come; the names of those that could not be loaded
  // (unpacking first), none when both are there. A job that needs a missing engine fails with
  // the archive component's reason.
  std::vector<std::string> LoadEngines();
  void UnloadEngines();

  // A job reporting to `sink`, in its own folder `job_dir` (Locations::job_dir), with `options`
  // for each of its runs. Jobs made here share the components: one runs at a time, and none
  // keeps anything in them between its runs.
  std::unique_ptr<PatchJob> MakeJob(JobSink& sink, const std::string& job_dir,
                                    JobOptions options = {});

 private:
  TArchiver Zip;
  TEasyFileSearch fs;
  TmxStorage storeClass;  // holds "FullCn.class", "FullGameCn.class" and "Nokia.zip"
  const Settings& settings_;
  const Language& texts_;
};

}  // namespace korvel

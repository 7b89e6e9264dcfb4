// korvel-patch's commands as a small library: the argument parser (PatchArguments.cpp), the folder
// walk and the whole run (PatchCommands.cpp), the result lines and JSON (PatchResults.cpp);
// main() only hands its arguments and streams over.
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/JobReport.h"
#include "pipeline/KeyPlan.h"
#include "settings/Settings.h"

namespace korvel {

// A command line korvel-patch cannot take; exit status 2.
class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What the command line asks for, besides the settings it changes.
struct PatchOptions {
  std::vector<std::string> files;
  std::optional<std::string> lang_file;
  bool quiet = false;
  bool json = false;
  bool dry_run = false;
  bool restore = false;
  bool save_settings = false;
  bool help = false;
  bool version = false;
  // --game-keys: the game's layout for this run, instead of the one its classes show.
  std::optional<GivenGameKeys> game_keys;
};

// The text --help shows.
std::string_view PatchUsage();

// Reads the arguments (without the program's name); options that change settings change
// `settings`. Raises UsageError.
PatchOptions ParsePatchArguments(const std::vector<std::string>& args, Settings& settings);

// What became of one file, for the summary line and the JSON object.
struct FileResult {
  std::string path;  // as the user named it, or the folder given joined with the found name
  std::string result;
  std::string reason;
  int classes_redirected = 0;
  bool nokia = false;
  std::int64_t size_before = -1;  // -1: no file
  std::int64_t size_after = -1;
  std::optional<JobReport::Keys> keys;  // as the job's report says
};

// A file argument stands for itself; a folder for every JAR below it, sorted so that runs over
// the same collection report in the same order. A folder that cannot be walked in full adds a
// failed result to `results`, so that a partial run is never reported as complete.
std::vector<std::string> ExpandArgument(const std::string& argument,
                                        std::vector<FileResult>& results);

// The word of a restore's result line.
inline constexpr std::string_view kRestoredWord = "restored";

// The word a result line starts with for a job's outcome ("adapted", "unchanged", "already
// adapted", "failed"; a dry run's "would adapt" and "no effect"): the batch list's words in
// English.
const char* ResultWord(JobOutcome outcome, bool dry_run);

// One file's result as a JSON object on one line.
std::string JsonLine(const FileResult& result);

// One line per file ("adapted: FILE", "failed: FILE: reason", ...) and the closing count; or, with
// `json`, one JSON object per file and nothing else.
void PrintResults(std::ostream& out, const std::vector<FileResult>& results, bool json,
                  bool dry_run, bool restore);

// 0 when no file failed, else 1.
int ExitStatus(const std::vector<FileResult>& results);

// The whole run, as korvel-patch's main() makes it: the exit status.
int RunPatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace korvel

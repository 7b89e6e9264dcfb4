// korvel-patch's commands: folders, adapting, restoring, and the whole run.
#include "app/PatchCommands.h"

#include <algorithm>
#include <cstdint>
#include <iostream>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/GameTransaction.h"
#include "pipeline/JobComponents.h"
#include "pipeline/PatchJob.h"
#include "platform/Files.h"
#include "search/EasyFileSearch.h"
#include "settings/Language.h"
#include "settings/Locations.h"
#include "settings/Settings.h"

namespace korvel {

namespace {

constexpr const char* kVersion = "korvel-patch " KORVEL_VERSION;

// A reason of several lines, for the one-line summary.
std::string OneLine(std::string text) {
  for (char& c : text) {
    if (c == '\n') c = ' ';
  }
  return text;
}

// Console lines go to standard output.
class ConsoleSink : public JobSink {
 public:
  ConsoleSink(std::ostream& out, bool quiet) : out_(out), quiet_(quiet) {}
  void ConsoleLine(const std::string& line) override {
    if (!quiet_) out_ << line << std::endl;
  }
  void SetGauge(int) override {}

 private:
  std::ostream& out_;
  bool quiet_;
};

const char* const kFailed = ResultWord(JobOutcome::kFailed, false);

std::string Joined(const std::vector<std::string>& items) {
  std::string text;
  for (const std::string& item : items) text += (text.empty() ? "" : " ") + item;
  return text;
}

// The dry run's account of a game a run would adapt.
std::string Describe(const JobReport& p) {
  std::string text = "classes redirected: " + std::to_string(p.classes_redirected);
  if (p.nokia) text += ", Nokia classes added";
  if (p.adapted_size) text += ", adapted before at " + SizeText(*p.adapted_size);
  text += p.signed_suite ? ", signed: the signature would be dropped" : ", not signed";
  if (!p.manifest_dropped.empty()) text += ", manifest drops " + Joined(p.manifest_dropped);
  if (!p.jad_dropped.empty()) text += ", JAD drops " + Joined(p.jad_dropped);
  if (p.keys) {
    text += ", keys: game " + (p.keys->game.empty() ? "not found" : p.keys->game) + ", handset " +
            p.keys->handset + (p.keys->translated ? ", translated" : ", not translated");
  }
  if (p.size_before >= 0 && p.size_after >= 0) {
    const std::int64_t change = p.size_after - p.size_before;
    text += change > 0   ? ", adds " + std::to_string(change) + " bytes"
            : change < 0 ? ", saves " + std::to_string(-change) + " bytes"
                         : ", same size";
  }
  return text;
}

// Restores one game, locked in the job's folder `job_dir`.
FileResult RestoreOne(const std::string& file, const std::string& job_dir, const Language& texts) {
  FileResult r;
  r.path = file;
  const std::string path = platform::AbsolutePath(file);
  r.size_before = platform::FileSizeOf(path);
  try {
    PrepareJobDirectory(job_dir);
    r.reason = RestoreBackup(path, job_dir, texts);
    r.result = kRestoredWord;
  } catch (const JobFailure& e) {
    r.result = kFailed;
    r.reason = FailureText(e.failure(), texts);
  } catch (const std::exception& e) {
    r.result = kFailed;
    r.reason = e.what();
  }
  r.size_after = platform::FileSizeOf(path);
  return r;
}

// The job's report of one game as a result.
void TakeReport(const JobReport& report, bool dry_run, FileResult& r) {
  // The words of the result are this tool's own, for scripts; the reason is the job's.
  r.result = ResultWord(report.outcome, dry_run);
  r.reason = report.preview && report.outcome == JobOutcome::kAdapted ? Describe(report)
                                                                      : OneLine(report.reason);
  r.classes_redirected = report.classes_redirected;
  r.nokia = report.nokia;
  r.keys = report.keys;
  r.size_after = report.size_after;
}

FileResult AdaptOne(PatchJob& job, const std::string& file, bool dry_run, const Language& texts,
                    std::ostream& err) {
  FileResult r;
  r.path = file;
  try {
    const std::string path = platform::AbsolutePath(file);
    r.size_before = platform::FileSizeOf(path);
    if (!platform::FileExists(path)) {
      r.result = kFailed;
      r.reason = "no such file";
      return r;
    }
    TakeReport(dry_run ? job.Preview(path) : job.ProcessJar(path, true), dry_run, r);
  } catch (const std::exception& e) {
    const auto* failure = dynamic_cast<const JobFailure*>(&e);
    r.result = kFailed;
    r.reason = failure ? FailureText(failure->failure(), texts) : e.what();
    err << "korvel-patch: " << file << ": " << r.reason << "\n";
  }
  return r;
}

// Stores the settings with this run's options; false, said on `err`, when they cannot be.
bool SaveRunSettings(Settings& settings, const PatchOptions& options, const Locations& locations,
                     const std::string& lang_file, std::ostream& err) {
  if (options.lang_file) settings.LangFile = lang_file;
  try {
    PrepareSettingsDirectory(locations);
    SaveSettings(settings, locations.settings_file);
  } catch (const std::exception& e) {
    err << "korvel-patch: " << e.what() << "\n";
    return false;
  }
  return true;
}

// Every file the arguments name, adapted, previewed or restored.
std::vector<FileResult> RunFiles(const PatchOptions& options, Settings& settings,
                                 const Language& texts, const Locations& locations,
                                 std::ostream& out, std::ostream& err) {
  JobComponents components(settings, texts);
  // Loaded once for the whole run, as the desktop program does, rather than for every operation
  // of every job. A missing engine is reported by the operation that needs it.
  components.LoadEngines();
  ConsoleSink sink(out, options.quiet || options.json || options.dry_run);
  const std::unique_ptr<PatchJob> job =
      components.MakeJob(sink, locations.job_dir, JobOptions{options.game_keys});

  std::vector<FileResult> results;
  for (const std::string& argument : options.files) {
    if (options.restore) {
      results.push_back(RestoreOne(argument, locations.job_dir, texts));
      continue;
    }
    for (const std::string& file : ExpandArgument(argument, results)) {
      results.push_back(AdaptOne(*job, file, options.dry_run, texts, err));
    }
  }
  return results;
}

}  // namespace

std::vector<std::string> ExpandArgument(const std::string& argument,
                                        std::vector<FileResult>& results) {
  if (!platform::DirectoryExists(argument)) return {argument};
  std::string shown = argument;
  if (shown.back() != '/') shown += '/';
  std::string root = platform::AbsolutePath(argument);
  if (root.back() != '/') root += '/';

  TEasyFileSearch search;
  ApplyPatchJobSettings(search);
  search.FileNames() = {"*.*"};
  search.SetRootPath(root);
  std::vector<std::string> jars;
  search.OnFileFound = [&](const TFileInformations& found) {
    if (!IsGameFileName(found.Name)) return;
    const std::string full = found.Path + found.Name;
    jars.push_back(shown + (full.rfind(root, 0) == 0 ? full.substr(root.size()) : full));
  };
  if (!search.Search()) {
    FileResult unread;
    unread.path = shown;
    unread.result = kFailed;
    unread.reason = "some of its folders could not be read";
    results.push_back(unread);
  }
  std::sort(jars.begin(), jars.end());
  return jars;
}

int RunPatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Locations locations = FindLocations();
  Settings settings = LoadSettings(locations.settings_file);
  PatchOptions options;
  try {
    options = ParsePatchArguments(args, settings);
  } catch (const UsageError& e) {
    err << "korvel-patch: " << e.what() << "\n\n" << PatchUsage();
    return 2;
  }
  if (options.help || options.version) {
    out << (options.help ? std::string(PatchUsage()) : std::string(kVersion) + "\n");
    return 0;
  }
  // A language file given here is taken from the current folder, one named in the settings from
  // the language folders.
  const std::string lang_file = options.lang_file ? platform::AbsolutePath(*options.lang_file)
                                                  : LanguageFilePath(locations, settings.LangFile);
  if (options.save_settings) {
    if (!SaveRunSettings(settings, options, locations, lang_file, err)) return 1;
    if (options.files.empty()) return 0;
  }
  const Language texts = Language::FromFile(lang_file);
  const std::vector<FileResult> results = RunFiles(options, settings, texts, locations, out, err);
  PrintResults(out, results, options.json, options.dry_run, options.restore);
  return ExitStatus(results);
}

}  // namespace korvel

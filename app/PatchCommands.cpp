// korvel-patch's commands: parsing, folders, adapting, restoring and reporting.
#include "app/PatchCommands.h"

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "pipeline/JobComponents.h"
#include "pipeline/PatchJob.h"
#include "platform/Files.h"
#include "platform/Time.h"
#include "search/EasyFileSearch.h"
#include "settings/KeyLayout.h"
#include "settings/Language.h"
#include "settings/Locations.h"
#include "settings/Settings.h"

namespace korvel {

namespace {

constexpr const char* kVersion = "korvel-patch " KORVEL_VERSION;

constexpr const char* kUsage =
    "Usage: korvel-patch [options] FILE.jar|FOLDER...\n"
    "Adapts each Java ME game in place so that it runs full-screen on the Virel.\n"
    "A folder stands for every .jar below it, subfolders included, in name order.\n"
    "Settings come from korvel.ini (beside the program, or in ~/.config/korvel when installed);\n"
    "options change them for this run only, unless --save-settings stores them.\n"
    "\n"
    "  --backup, --no-backup   keep FILE.jar.bak after a successful run, or not\n"
    "  --nokia, --no-nokia     add the Nokia compatibility classes when the game uses them\n"
    "  --jad, --no-jad         create or renew the JAD beside the JAR\n"
    "  --filter, --no-filter   drop MIDxlet and MIDlet-Install-Notify lines\n"
    "  --width N, --height N   canvas size the game sees, 1 to 255\n"
    "  --handset-keys LAYOUT   the handset's key codes: none, 6-7, 1-4, 21-22 or\n"
    "                          custom:LS,RS,FIRE,UP,DOWN,LEFT,RIGHT; a game built for\n"
    "                          another layout gets its own codes\n"
    "  --game-keys LAYOUT      the layout the game was built for, instead of the one its\n"
    "                          classes show (none: no translation); this run only\n"
    "  --lang FILE             language file for the progress lines\n"
    "  --quiet                 print only errors and the closing summary\n"
    "  --json                  print one JSON object per file instead of the summary\n"
    "  --dry-run               say what a run would do to each JAR, writing nothing\n"
    "  --restore               put FILE.jar.bak (and FILE.jad.bak) back and remove them\n"
    "  --save-settings         store the settings with this run's options in korvel.ini\n"
    "  --help                  show this text\n"
    "  --version               show the version\n"
    "\n"
    "A game without a canvas to redirect is left as it was and reported as unchanged.\n"
    "A game already adapted for the size asked for is left as it was and reported as\n"
    "already adapted; for another size it is adapted again.\n"
    "The summary closes with a count: adapted, failed, skipped (unchanged, already adapted).\n"
    "\n"
    "Exit status: 0 when no file failed, 1 when any failed, 2 on a usage error.\n";

// A key layout's name as the settings keep it.
std::string ParseLayout(const std::string& option, const std::string& text) {
  try {
    return KeyLayoutName(ParseKeyLayout(text));
  } catch (const KeyLayoutError& e) {
    throw UsageError(option + ": " + e.what());
  }
}

int ParseSize(const std::string& option, const std::string& text) {
  std::size_t used = 0;
  int value = 0;
  try {
    value = std::stoi(text, &used);
  } catch (const std::exception&) {
    used = 0;
  }
  if (used != text.size() || value < 1 || value > 255) {
    throw UsageError(option + " needs a number from 1 to 255, not \"" + text + "\"");
  }
  return value;
}

}  // namespace

PatchOptions ParsePatchArguments(const std::vector<std::string>& args, Settings& settings) {
  PatchOptions options;
  bool only_files = false;
  const std::size_t count = args.size();
  for (std::size_t i = 0; i < count; ++i) {
    const std::string& arg = args[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= count) throw UsageError(arg + " needs a value");
      return args[++i];
    };
    if (only_files || arg.empty() || arg[0] != '-' || arg == "-") {
      options.files.push_back(arg);
    } else if (arg == "--") {
      only_files = true;
    } else if (arg == "--backup" || arg == "--no-backup") {
      settings.Backup = arg == "--backup";
    } else if (arg == "--nokia" || arg == "--no-nokia") {
      settings.Nokia = arg == "--nokia";
    } else if (arg == "--jad" || arg == "--no-jad") {
      settings.Jad = arg == "--jad";
    } else if (arg == "--filter" || arg == "--no-filter") {
      settings.FilterAttr = arg == "--filter";
    } else if (arg == "--width") {
      settings.ResW = ParseSize(arg, value());
    } else if (arg == "--height") {
      settings.ResH = ParseSize(arg, value());
    } else if (arg == "--handset-keys") {
      settings.HandsetKeys = ParseLayout(arg, value());
    } else if (arg == "--game-keys") {
      settings.GameKeys = ParseLayout(arg, value());
    } else if (arg == "--lang") {
      options.lang_file = value();
    } else if (arg == "--quiet") {
      options.quiet = true;
    } else if (arg == "--restore") {
      options.restore = true;
    } else if (arg == "--dry-run") {
      options.dry_run = true;
    } else if (arg == "--json") {
      options.json = true;
    } else if (arg == "--save-settings") {
      options.save_settings = true;
    } else if (arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else {
      throw UsageError("unknown option " + arg);
    }
  }
  if (options.files.empty() && !options.help && !options.version && !options.save_settings) {
    throw UsageError("no JAR given");
  }
  if (options.restore && options.dry_run)
    throw UsageError("--restore and --dry-run exclude each other");
  return options;
}

namespace {

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

constexpr const char* kAdapted = "adapted";
constexpr const char* kUnchanged = "unchanged";
constexpr const char* kFailed = "failed";
constexpr const char* kAlreadyAdapted = "already adapted";
// A dry run's results.
constexpr const char* kWouldAdapt = "would adapt";
constexpr const char* kNoEffect = "no effect";
constexpr const char* kRestored = "restored";

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

namespace {

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

FileResult RestoreOne(const std::string& file) {
  FileResult r;
  r.path = file;
  const std::string path = platform::AbsolutePath(file);
  r.size_before = platform::FileSizeOf(path);
  try {
    r.reason = RestoreBackup(path);
    r.result = kRestored;
  } catch (const std::exception& e) {
    r.result = kFailed;
    r.reason = e.what();
  }
  r.size_after = platform::FileSizeOf(path);
  return r;
}

FileResult AdaptOne(PatchJob& job, const std::string& file, bool dry_run, std::ostream& err) {
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
    if (dry_run) {
      job.Preview(path);
    } else {
      job.ProcessJar(path, true);
    }
    const JobReport& report = job.Report();
    // The words of the result are this tool's own, for scripts; the reason is the job's.
    r.result = ResultWord(report.outcome, dry_run);
    r.reason = report.preview && report.outcome == JobOutcome::kAdapted ? Describe(report)
                                                                        : OneLine(report.reason);
    r.classes_redirected = report.classes_redirected;
    r.nokia = report.nokia;
    r.keys = report.keys;
    r.size_after = report.size_after;
  } catch (const std::exception& e) {
    err << "korvel-patch: " << file << ": " << e.what() << "\n";
    r.result = kFailed;
    r.reason = e.what();
  }
  return r;
}

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string JsonSize(std::int64_t size) {
  return size < 0 ? "null" : std::to_string(size);
}

}  // namespace

const char* ResultWord(JobOutcome outcome, bool dry_run) {
  switch (outcome) {
    case JobOutcome::kAdapted:
      return dry_run ? kWouldAdapt : kAdapted;
    case JobOutcome::kUnchanged:
      return dry_run ? kNoEffect : kUnchanged;
    case JobOutcome::kAlreadyAdapted:
      return kAlreadyAdapted;
    case JobOutcome::kFailed:
      break;
  }
  return kFailed;
}

std::string JsonLine(const FileResult& r) {
  return "{\"path\": " + JsonString(r.path) + ", \"result\": " + JsonString(r.result) +
         ", \"reason\": " + JsonString(r.reason) +
         ", \"classes_redirected\": " + std::to_string(r.classes_redirected) +
         ", \"nokia\": " + (r.nokia ? "true" : "false") +
         ", \"size_before\": " + JsonSize(r.size_before) +
         ", \"size_after\": " + JsonSize(r.size_after) + ", \"keys\": " +
         (r.keys ? "{\"game\": " + (r.keys->game.empty() ? "null" : JsonString(r.keys->game)) +
                       ", \"handset\": " + JsonString(r.keys->handset) +
                       ", \"translated\": " + (r.keys->translated ? "true" : "false") + "}"
                 : "null") +
         "}";
}

// One line per file, then the count; or one JSON object per file and nothing else.
void PrintResults(std::ostream& out, const std::vector<FileResult>& results, bool json,
                  bool dry_run, bool restore) {
  int adapted = 0, failed = 0, skipped = 0;
  for (const FileResult& r : results) {
    if (json) {
      out << JsonLine(r) << "\n";
    } else {
      out << r.result << ": " << r.path << (r.reason.empty() ? "" : ": " + r.reason) << "\n";
    }
    if (r.result == kAdapted || r.result == kWouldAdapt || r.result == kRestored) {
      ++adapted;
    } else if (r.result == kFailed) {
      ++failed;
    } else {
      ++skipped;
    }
  }
  if (json) return;
  if (restore) {
    out << adapted << " restored, " << failed << " failed\n";
  } else if (dry_run) {
    out << adapted << " to adapt, " << failed << " failing, " << skipped << " skipped\n";
  } else {
    out << adapted << " adapted, " << failed << " failed, " << skipped << " skipped\n";
  }
}

int ExitStatus(const std::vector<FileResult>& results) {
  const bool any_failed = std::any_of(results.begin(), results.end(),
                                      [](const FileResult& r) { return r.result == kFailed; });
  return any_failed ? 1 : 0;
}

int RunPatchCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  const Locations locations = FindLocations();
  Settings settings = LoadSettings(locations.settings_file);
  PatchOptions options;
  try {
    options = ParsePatchArguments(args, settings);
  } catch (const UsageError& e) {
    err << "korvel-patch: " << e.what() << "\n\n" << kUsage;
    return 2;
  }
  if (options.help) {
    out << kUsage;
    return 0;
  }
  if (options.version) {
    out << kVersion << "\n";
    return 0;
  }

  // A language file given here is taken from the current folder, one named in the settings from
  // the language folders.
  const std::string lang_file = options.lang_file ? platform::AbsolutePath(*options.lang_file)
                                                  : LanguageFilePath(locations, settings.LangFile);
  if (options.save_settings) {
    if (options.lang_file) settings.LangFile = lang_file;
    try {
      PrepareSettingsDirectory(locations);
      SaveSettings(settings, locations.settings_file);
    } catch (const std::exception& e) {
      err << "korvel-patch: " << e.what() << "\n";
      return 1;
    }
    if (options.files.empty()) return 0;
  }
  const Language texts = Language::FromFile(lang_file);

  JobComponents components(settings, texts);
  // Loaded once for the whole run, as the desktop program does, rather than for every operation
  // of every job. A missing engine is reported by the operation that needs it.
  components.LoadEngines();
  ConsoleSink sink(out, options.quiet || options.json || options.dry_run);
  const std::unique_ptr<PatchJob> job = components.MakeJob(sink, locations.job_dir);

  std::vector<FileResult> results;
  for (const std::string& argument : options.files) {
    if (options.restore) {
      results.push_back(RestoreOne(argument));
      continue;
    }
    for (const std::string& file : ExpandArgument(argument, results)) {
      results.push_back(AdaptOne(*job, file, options.dry_run, err));
    }
  }
  PrintResults(out, results, options.json, options.dry_run, options.restore);
  return ExitStatus(results);
}

}  // namespace korvel

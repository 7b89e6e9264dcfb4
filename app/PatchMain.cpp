// korvel-patch: adapts MIDlet suites from the command line with the same job as the desktop
// program, using the desktop program's settings file.
#include <cstdio>
#include <cstdlib>
#include <iostream>
#include <optional>
#include <string>
#include <vector>

#include "archive/ZipMstr.h"
#include "payload/ProgramStore.h"
#include "pipeline/PatchJob.h"
#include "platform/Files.h"
#include "search/EasyFileSearch.h"
#include "settings/Language.h"
#include "settings/Locations.h"
#include "settings/Settings.h"
#include "store/mxStorage.h"

namespace korvel {
namespace {

constexpr const char* kVersion = "korvel-patch " KORVEL_VERSION;

constexpr const char* kUsage =
    "Usage: korvel-patch [options] FILE.jar...\n"
    "Adapts each Java ME game in place so that it runs full-screen on the Virel.\n"
    "Settings come from korvel.ini (beside the program, or in ~/.config/korvel when installed);\n"
    "options change them for this run only, unless --save-settings stores them.\n"
    "\n"
    "  --backup, --no-backup   keep FILE.jar.bak after a successful run, or not\n"
    "  --nokia, --no-nokia     add the Nokia compatibility classes when the game uses them\n"
    "  --jad, --no-jad         create or renew the JAD beside the JAR\n"
    "  --filter, --no-filter   drop MIDxlet and MIDlet-Install-Notify lines\n"
    "  --width N, --height N   canvas size the game sees, 1 to 255\n"
    "  --lang FILE             language file for the progress lines\n"
    "  --quiet                 print only errors and the closing summary\n"
    "  --save-settings         store the settings with this run's options in korvel.ini\n"
    "  --help                  show this text\n"
    "  --version               show the version\n"
    "\n"
    "A game without a canvas to redirect is left as it was and reported as unchanged.\n"
    "\n"
    "Exit status: 0 when no file failed, 1 when any failed, 2 on a usage error.\n";

class UsageError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct Options {
  std::vector<std::string> files;
  std::optional<std::string> lang_file;
  bool quiet = false;
  bool save_settings = false;
  bool help = false;
  bool version = false;
};

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

Options Parse(int argc, char** argv, Settings& settings) {
  Options options;
  bool only_files = false;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    auto value = [&]() -> std::string {
      if (i + 1 >= argc) throw UsageError(arg + " needs a value");
      return argv[++i];
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
    } else if (arg == "--lang") {
      options.lang_file = value();
    } else if (arg == "--quiet") {
      options.quiet = true;
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
  return options;
}

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
  explicit ConsoleSink(bool quiet) : quiet_(quiet) {}
  void ConsoleLine(const std::string& line) override {
    if (!quiet_) std::cout << line << std::endl;
  }
  void SetGauge(int) override {}

 private:
  bool quiet_;
};

int Run(int argc, char** argv) {
  const Locations locations = FindLocations();
  Settings settings = LoadSettings(locations.settings_file);
  Options options;
  try {
    options = Parse(argc, argv, settings);
  } catch (const UsageError& e) {
    std::cerr << "korvel-patch: " << e.what() << "\n\n" << kUsage;
    return 2;
  }
  if (options.help) {
    std::cout << kUsage;
    return 0;
  }
  if (options.version) {
    std::cout << kVersion << "\n";
    return 0;
  }

  // A language file given here is taken from the current folder, one named in the settings from
  // the language folders.
  const std::string lang_file =
      options.lang_file ? platform::AbsolutePath(*options.lang_file)
                        : ResolveLanguageFile(locations.language_dirs, settings.LangFile);
  if (options.save_settings) {
    if (options.lang_file) settings.LangFile = lang_file;
    try {
      PrepareSettingsDirectory(locations);
      SaveSettings(settings, locations.settings_file);
    } catch (const std::exception& e) {
      std::cerr << "korvel-patch: " << e.what() << "\n";
      return 1;
    }
    if (options.files.empty()) return 0;
  }
  const Language texts = Language::FromFile(lang_file);

  TZipMaster zip;
  ApplyPatchJobSettings(zip);
  // Loaded once for the whole run, as the desktop program does, rather than for every operation
  // of every job. A missing engine is reported by the operation that needs it.
  zip.LoadUnzEngine(true);
  zip.LoadZipEngine(true);
  TEasyFileSearch fs;
  ApplyPatchJobSettings(fs);
  TmxStorage store;
  LoadProgramStore(store);
  ConsoleSink sink(options.quiet);
  PatchJob job({zip, fs, store, settings, texts, sink, locations.job_dir});

  std::vector<std::string> summary;
  bool all_adapted = true;
  for (const std::string& file : options.files) {
    std::string outcome;
    try {
      PrepareJobDirectory(locations);
      const std::string path = platform::AbsolutePath(file);
      if (!platform::FileExists(path)) {
        outcome = "failed: " + file + ": no such file";
      } else {
        switch (job.ProcessJar(path, true)) {
          case JobOutcome::kAdapted:
            outcome = "adapted: " + file;
            break;
          case JobOutcome::kUnchanged:
            outcome = "unchanged: " + file + ": no canvas to redirect";
            break;
          case JobOutcome::kFailed:
            outcome = "failed: " + file + ": " + OneLine(job.FailureReason());
            break;
        }
      }
    } catch (const std::exception& e) {
      std::cerr << "korvel-patch: " << file << ": " << e.what() << "\n";
      outcome = "failed: " + file + ": " + e.what();
    }
    if (outcome.rfind("failed", 0) == 0) all_adapted = false;
    summary.push_back(outcome);
  }
  for (const std::string& line : summary) std::cout << line << "\n";
  return all_adapted ? 0 : 1;
}

}  // namespace
}  // namespace korvel

int main(int argc, char** argv) {
  return korvel::Run(argc, argv);
}

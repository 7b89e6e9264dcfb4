// korvel-patch's command line: the usage text and the argument parser.
#include <algorithm>
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "app/PatchCommands.h"
#include "settings/KeyLayout.h"

namespace korvel {

namespace {

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

// The options that switch a setting on or off.
struct SettingSwitch {
  std::string_view on;
  std::string_view off;
  bool Settings::*setting;
};
constexpr std::array<SettingSwitch, 4> kSettingSwitches = {{
    {"--backup", "--no-backup", &Settings::Backup},
    {"--nokia", "--no-nokia", &Settings::Nokia},
    {"--jad", "--no-jad", &Settings::Jad},
    {"--filter", "--no-filter", &Settings::FilterAttr},
}};

// The options that ask for something of this run.
struct RunFlag {
  std::string_view name;
  bool PatchOptions::*flag;
};
constexpr std::array<RunFlag, 7> kRunFlags = {{
    {"--quiet", &PatchOptions::quiet},
    {"--restore", &PatchOptions::restore},
    {"--dry-run", &PatchOptions::dry_run},
    {"--json", &PatchOptions::json},
    {"--save-settings", &PatchOptions::save_settings},
    {"--help", &PatchOptions::help},
    {"--version", &PatchOptions::version},
}};

// The options followed by a value.
constexpr std::array<std::string_view, 5> kValueOptions = {"--width", "--height", "--handset-keys",
                                                           "--game-keys", "--lang"};

// A key layout, or nothing for "none".
std::optional<KeyLayout> ParseLayout(const std::string& option, const std::string& text) {
  try {
    return ParseKeyLayout(text);
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

// An option without a value; false when `arg` is none.
bool ApplySwitch(const std::string& arg, PatchOptions& options, Settings& settings) {
  for (const SettingSwitch& option : kSettingSwitches) {
    if (arg == option.on || arg == option.off) {
      settings.*option.setting = arg == option.on;
      return true;
    }
  }
  for (const RunFlag& option : kRunFlags) {
    if (arg == option.name) {
      options.*option.flag = true;
      return true;
    }
  }
  return false;
}

void ApplyValue(const std::string& arg, const std::string& value, PatchOptions& options,
                Settings& settings) {
  if (arg == "--width") {
    settings.ResW = ParseSize(arg, value);
  } else if (arg == "--height") {
    settings.ResH = ParseSize(arg, value);
  } else if (arg == "--handset-keys") {
    settings.HandsetKeys = ParseLayout(arg, value);
  } else if (arg == "--game-keys") {
    options.game_keys = GivenGameKeys{ParseLayout(arg, value)};
  } else {
    options.lang_file = value;
  }
}

}  // namespace

std::string_view PatchUsage() {
  return kUsage;
}

PatchOptions ParsePatchArguments(const std::vector<std::string>& args, Settings& settings) {
  PatchOptions options;
  bool only_files = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (only_files || arg.empty() || arg[0] != '-' || arg == "-") {
      options.files.push_back(arg);
    } else if (arg == "--") {
      only_files = true;
    } else if (std::find(kValueOptions.begin(), kValueOptions.end(), arg) != kValueOptions.end()) {
      if (i + 1 >= args.size()) throw UsageError(arg + " needs a value");
      ApplyValue(arg, args[++i], options, settings);
    } else if (!ApplySwitch(arg, options, settings)) {
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

}  // namespace korvel

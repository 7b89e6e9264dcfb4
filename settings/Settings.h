// The Settings record and the settings file, korvel.ini, which the desktop program and
// korvel-patch share.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "settings/KeyLayout.h"

namespace korvel {

inline constexpr std::string_view kSettingsFileName = "korvel.ini";
inline constexpr std::string_view kSettingsSection = "Korvel";

// The user settings, with their defaults. Fields keep the design's names.
struct Settings {
  bool Backup = false;      // keep the JAR's backup after a successful job
  bool Nokia = true;        // add the Nokia compatibility classes when the game uses the API
  bool Jad = true;          // rewrite (or create) the JAD beside the JAR
  bool FilterAttr = true;   // drop surplus attributes from the JAD and the manifest
  bool AskMidway = true;    // offer the upload tool after a job from the patch button
  bool ConfirmDrop = true;  // ask before accepting dropped files
  std::string Midway;       // the upload tool's executable; empty means not configured
  std::string LangFile;     // the language file; empty means the built-in texts
  std::int32_t ResW = 128;  // canvas width reported by the full-screen class (valid 1 to 255)
  std::int32_t ResH = 116;  // canvas height (valid 1 to 255)
  // The handset's key layout (settings/KeyLayout.h), read once when the settings load; nothing
  // ("none" in the file) leaves every game's keys alone.
  std::optional<KeyLayout> HandsetKeys;

  bool operator==(const Settings&) const = default;
};

// korvel.ini where this copy of the program keeps it (settings/Locations.h): in the program
// directory, or in the user's configuration folder for an installed copy.
std::string DefaultSettingsPath();

// The settings as a job uses them: ResW and ResH outside 1 to 255 replaced by their defaults
// (128 and 116).
Settings CorrectedSettings(Settings settings);

// Reads the keys of section "Korvel". A missing file, section or key, or a value that is not an
// integer (or key layout) where one is expected, gives that key's default; values outside 1 to
// 255 are taken as they are. Never raises.
Settings LoadSettings(const std::string& path);

// Writes every key in the file's order, ResW and ResH corrected as a job uses them (HandsetKeys
// only when a layout is set or the file has it), keeping every other line of the file. The file
// is written once, so it holds either all the new values or none. Raises FileError "Unable to
// write to <full path>" when it cannot be written.
void SaveSettings(const Settings& settings, const std::string& path);

}  // namespace korvel

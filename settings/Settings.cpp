// Loading and saving the Settings record in the settings file.
#include "settings/Settings.h"

#include "settings/KeyLayout.h"

#include "platform/Files.h"
#include "platform/Profile.h"
#include "settings/Locations.h"
#include "settings/ProfileValues.h"

namespace korvel {

namespace {

// The INI class's ReadInteger: a missing key reads as "", which StrToIntDef turns into the default.
std::int32_t ReadInteger(const platform::ProfileFile& file, std::string_view key,
                         std::int32_t default_value) {
  return StrToIntDef(file.ReadString(kSettingsSection, key, ""), default_value);
}

bool ReadBool(const platform::ProfileFile& file, std::string_view key, bool default_value) {
  return ReadInteger(file, key, default_value ? 1 : 0) != 0;
}

std::string ReadText(const platform::ProfileFile& file, std::string_view key) {
  return CutToCharacters(file.ReadString(kSettingsSection, key, ""));
}

}  // namespace

std::string DefaultSettingsPath() {
  return FindLocations().settings_file;
}

Settings CorrectedSettings(Settings settings) {
  const Settings defaults;
  if (settings.ResW < 1 || settings.ResW > 255) settings.ResW = defaults.ResW;
  if (settings.ResH < 1 || settings.ResH > 255) settings.ResH = defaults.ResH;
  return settings;
}

Settings LoadSettings(const std::string& path) {
  const platform::ProfileFile file(path);
  Settings s;
  s.Backup = ReadBool(file, "Backup", s.Backup);
  s.Jad = ReadBool(file, "Jad", s.Jad);
  s.Nokia = ReadBool(file, "Nokia", s.Nokia);
  s.FilterAttr = ReadBool(file, "FilterAttr", s.FilterAttr);
  s.ResW = ReadInteger(file, "ResW", s.ResW);
  s.ResH = ReadInteger(file, "ResH", s.ResH);
  s.AskMidway = ReadBool(file, "AskMidway", s.AskMidway);
  s.Midway = ReadText(file, "Midway");
  s.ConfirmDrop = ReadBool(file, "ConfirmDrop", s.ConfirmDrop);
  s.LangFile = ReadText(file, "LangFile");
  try {
    s.HandsetKeys = ParseKeyLayout(ReadText(file, "HandsetKeys"));
  } catch (const KeyLayoutError&) {
    // Missing or not a layout: the default.
  }
  return s;
}

void SaveSettings(const Settings& settings, const std::string& path) {
  const Settings s = CorrectedSettings(settings);
  platform::ProfileFile file(path);
  const auto write_bool = [&file](std::string_view key, bool value) {
    file.WriteString(kSettingsSection, key, value ? "1" : "0");
  };
  const auto write_int = [&file](std::string_view key, std::int32_t value) {
    file.WriteString(kSettingsSection, key, std::to_string(value));
  };
  write_bool("Backup", s.Backup);
  write_bool("Jad", s.Jad);
  write_bool("Nokia", s.Nokia);
  write_bool("FilterAttr", s.FilterAttr);
  write_int("ResW", s.ResW);
  write_int("ResH", s.ResH);
  write_bool("AskMidway", s.AskMidway);
  file.WriteString(kSettingsSection, "Midway", s.Midway);
  write_bool("ConfirmDrop", s.ConfirmDrop);
  file.WriteString(kSettingsSection, "LangFile", s.LangFile);
  // Files of earlier versions stay as they were until a layout is chosen.
  constexpr std::string_view kUnset = "\x01";
  if (s.HandsetKeys || file.ReadString(kSettingsSection, "HandsetKeys", kUnset) != kUnset) {
    file.WriteString(kSettingsSection, "HandsetKeys", KeyLayoutName(s.HandsetKeys));
  }
  file.Save();
}

}  // namespace korvel

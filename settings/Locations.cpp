// The rule that decides where things live, in one place for both programs.
#include "settings/Locations.h"

#include "platform/FileError.h"
#include "platform/Files.h"
#include "settings/Settings.h"

namespace korvel {

namespace {

constexpr const char* kProgramFolderName = "korvel";

std::string Below(const std::string& base, std::string_view relative) {
  return base.empty() ? std::string() : platform::JoinPath(base, relative);
}

}  // namespace

Locations LocationsFor(const std::string& program_dir, bool beside_program,
                       const std::string& installed_data_dir, const platform::UserFolders& user) {
  if (beside_program) return LocationsBeside(program_dir);
  Locations locations;
  locations.program_dir = program_dir;
  locations.beside_program = false;
  locations.settings_file = Below(Below(user.config_home, kProgramFolderName), kSettingsFileName);
  // The lock guards the work folder, so both sit together in one folder of the user's; the
  // runtime folder stands in only when the cache folder is unknown.
  locations.job_dir =
      Below(user.cache_home.empty() ? user.runtime_dir : user.cache_home, kProgramFolderName);
  if (!user.data_home.empty()) {
    locations.language_dirs.push_back(
        platform::JoinPath(platform::JoinPath(user.data_home, kProgramFolderName), "lang"));
  }
  locations.language_dirs.push_back(platform::JoinPath(installed_data_dir, "lang"));
  return locations;
}

Locations LocationsBeside(const std::string& program_dir) {
  Locations locations;
  locations.program_dir = program_dir;
  locations.settings_file = platform::JoinPath(program_dir, kSettingsFileName);
  locations.job_dir = program_dir;
  locations.language_dirs = {program_dir};
  return locations;
}

Locations FindLocations() {
  const std::string program_dir = platform::ExecutableDirectory();
  const std::string installed_data_dir = platform::InstalledDataDirectory();
  // An installed layout uses the user's folders even where the user may write to the prefix
  // (an install into the home folder), so that settings never land among the programs.
  const bool beside_program =
      platform::IsWritableDirectory(program_dir) && !platform::DirectoryExists(installed_data_dir);
  return LocationsFor(program_dir, beside_program, installed_data_dir,
                      platform::CurrentUserFolders());
}

std::string ResolveLanguageFile(const std::vector<std::string>& language_dirs,
                                const std::string& lang_file) {
  if (lang_file.empty() || lang_file.front() == platform::kPathSeparator) return lang_file;
  for (const std::string& folder : language_dirs) {
    const std::string path = platform::JoinPath(folder, lang_file);
    if (platform::FileExists(path)) return path;
  }
  return language_dirs.empty() ? lang_file : platform::JoinPath(language_dirs.front(), lang_file);
}

void PrepareJobDirectory(const std::string& job_dir) {
  if (job_dir.empty()) {
    throw FileError("There is no folder for the work files: set HOME or XDG_CACHE_HOME.");
  }
  platform::CreateDirectories(job_dir);
}

void PrepareSettingsDirectory(const Locations& locations) {
  if (locations.beside_program || locations.settings_file.empty()) return;
  const std::size_t cut = locations.settings_file.rfind(platform::kPathSeparator);
  platform::CreateDirectories(locations.settings_file.substr(0, cut));
}

}  // namespace korvel

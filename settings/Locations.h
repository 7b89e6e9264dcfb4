// Where this copy of the program keeps its settings, its work files and its language files.
//
// A copy whose folder it may write to (the build folder, a portable copy) keeps everything beside
// the executable. An installed copy (its folder read-only, or laid out by the install step with
// PREFIX/share/korvel beside PREFIX/bin) uses the user's folders instead; see ARCHITECTURE.md.
#pragma once

#include <string>
#include <vector>

#include "platform/StandardFolders.h"

namespace korvel {

struct Locations {
  std::string program_dir;     // the executable's folder
  bool beside_program = true;  // everything lives in program_dir
  std::string settings_file;   // korvel.ini
  // The patch job's own folder: its work folder, its lock and its staged files ("" when the user
  // has no folder for them).
  std::string job_dir;
  // Folders searched for language files, in order; the first is where new ones belong.
  std::vector<std::string> language_dirs;
};

// The rule for given facts: the program's folder, whether it is a copy that keeps everything
// beside itself, the installed data folder and the user's folders.
Locations LocationsFor(const std::string& program_dir, bool beside_program,
                       const std::string& installed_data_dir, const platform::UserFolders& user);

// Everything beside `program_dir` (the build folder, a portable copy, a test's folder).
Locations LocationsBeside(const std::string& program_dir);

// The locations of the running program, from its folder and the environment. Creates nothing.
Locations FindLocations();

// A language file named in the settings: "" and full paths as they are; a relative name is taken
// from the first language folder that has it, else from the first folder.
std::string ResolveLanguageFile(const std::vector<std::string>& language_dirs,
                                const std::string& lang_file);

// Creates the job folder `job_dir` when it is missing; raises FileError, also when there is no
// folder for it (`job_dir` empty). The job does this itself before it starts.
void PrepareJobDirectory(const std::string& job_dir);

// Creates the folder of the settings file when it is missing, so that a first save can succeed.
// Raises FileError.
void PrepareSettingsDirectory(const Locations& locations);

}  // namespace korvel

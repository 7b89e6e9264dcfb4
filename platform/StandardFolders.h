// The folders a program finds by convention: the user's own (XDG base directories) and those of
// an installed copy, laid out by the install step relative to the executable.
#pragma once

#include <string>

namespace korvel::platform {

// The current user's base folders, no trailing separator. A variable that is unset, empty or
// not an absolute path counts as unset (the XDG rule), and the home folder's default is used.
struct UserFolders {
  std::string config_home;  // $XDG_CONFIG_HOME, else ~/.config
  std::string data_home;    // $XDG_DATA_HOME, else ~/.local/share
  std::string cache_home;   // $XDG_CACHE_HOME, else ~/.cache
  std::string runtime_dir;  // $XDG_RUNTIME_DIR, else "" (there is no default)
};
// The home folder is $HOME, else the password database's entry; "" when neither is known.
UserFolders CurrentUserFolders();

// An installed copy's private libraries (PREFIX/lib/korvel) and shared data (PREFIX/share/korvel),
// as found from the executable's folder (PREFIX/bin). The folders need not exist.
std::string InstalledLibraryDirectory();
std::string InstalledDataDirectory();

// True when this process may create files in `folder`. A folder without any write bit counts as
// read-only even for the super-user, as read-only files do elsewhere.
bool IsWritableDirectory(const std::string& folder);

// Creates `folder` and its missing parents, readable by the user only (0700). Raises FileError
// when it cannot be made or is not a folder.
void CreateDirectories(const std::string& folder);

}  // namespace korvel::platform

// Standard folders on POSIX: the XDG variables, the password database, access(2) and mkdir(2).
#include "platform/StandardFolders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>

#include "platform/FileError.h"
#include "platform/Files.h"

// Where the install step puts the libraries and the shared data, relative to the folder of the
// executables; the build passes the layout it installs.
#ifndef KORVEL_LIBDIR_FROM_BINDIR
#define KORVEL_LIBDIR_FROM_BINDIR "../lib/korvel"
#endif
#ifndef KORVEL_DATADIR_FROM_BINDIR
#define KORVEL_DATADIR_FROM_BINDIR "../share/korvel"
#endif

namespace korvel::platform {

namespace {

std::string AbsoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr || value[0] != kPathSeparator) return "";
  return value;
}

std::string HomeDirectory() {
  std::string home = AbsoluteVariable("HOME");
  if (!home.empty()) return home;
  const passwd* entry = ::getpwuid(::getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? entry->pw_dir : "";
}

std::string VariableOr(const char* name, const std::string& home, const char* below_home) {
  std::string value = AbsoluteVariable(name);
  if (!value.empty() || home.empty()) return value;
  return JoinPath(home, below_home);
}

std::string BesideExecutable(const char* relative) {
  const std::filesystem::path path = std::filesystem::path(ExecutableDirectory()) / relative;
  std::string text = path.lexically_normal().string();
  if (text.size() > 1 && text.back() == kPathSeparator) text.pop_back();
  return text;
}

}  // namespace

UserFolders CurrentUserFolders() {
  const std::string home = HomeDirectory();
  UserFolders folders;
  folders.config_home = VariableOr("XDG_CONFIG_HOME", home, ".config");
  folders.data_home = VariableOr("XDG_DATA_HOME", home, ".local/share");
  folders.cache_home = VariableOr("XDG_CACHE_HOME", home, ".cache");
  folders.runtime_dir = AbsoluteVariable("XDG_RUNTIME_DIR");
  return folders;
}

std::string InstalledLibraryDirectory() {
  return BesideExecutable(KORVEL_LIBDIR_FROM_BINDIR);
}

std::string InstalledDataDirectory() {
  return BesideExecutable(KORVEL_DATADIR_FROM_BINDIR);
}

bool IsWritableDirectory(const std::string& folder) {
  struct stat info {};
  if (::stat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode)) return false;
  if ((info.st_mode & (S_IWUSR | S_IWGRP | S_IWOTH)) == 0) return false;
  return ::access(folder.c_str(), W_OK | X_OK) == 0;
}

void CreateDirectories(const std::string& folder) {
  if (folder.empty() || DirectoryExists(folder)) return;
  const std::size_t cut = folder.rfind(kPathSeparator);
  if (cut != std::string::npos && cut > 0) CreateDirectories(folder.substr(0, cut));
  if (::mkdir(folder.c_str(), 0700) != 0 && !(errno == EEXIST && DirectoryExists(folder))) {
    ThrowFileError("Cannot create folder", folder, errno);
  }
}

}  // namespace korvel::platform

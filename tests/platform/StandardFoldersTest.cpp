// The user's folders from the environment, the installed layout and folder permissions.
#include "platform/StandardFolders.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>

#include "platform/FileError.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace korvel::platform {
namespace {

using test::TempDir;

// Sets environment variables for one test and puts the old values back.
class Environment {
 public:
  void Set(const char* name, const char* value) {
    if (!saved_.count(name)) {
      const char* old = std::getenv(name);
      saved_[name] = old ? std::optional<std::string>(old) : std::nullopt;
    }
    if (value) {
      ::setenv(name, value, 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~Environment() {
    for (const auto& [name, value] : saved_) Set(name.c_str(), value ? value->c_str() : nullptr);
  }

 private:
  std::map<std::string, std::optional<std::string>> saved_;
};

TEST(StandardFolders, XdgVariablesWinAndRelativeOnesAreIgnored) {
  Environment env;
  env.Set("HOME", "/home/ann");
  env.Set("XDG_CONFIG_HOME", "/cfg");
  env.Set("XDG_DATA_HOME", "relative/data");
  env.Set("XDG_CACHE_HOME", "");
  env.Set("XDG_RUNTIME_DIR", nullptr);
  const UserFolders folders = CurrentUserFolders();
  EXPECT_EQ(folders.config_home, "/cfg");
  EXPECT_EQ(folders.data_home, "/home/ann/.local/share");
  EXPECT_EQ(folders.cache_home, "/home/ann/.cache");
  EXPECT_EQ(folders.runtime_dir, "");
}

TEST(StandardFolders, TheInstalledLayoutIsBesideTheExecutablesFolder) {
  const std::filesystem::path prefix = std::filesystem::path(ExecutableDirectory()).parent_path();
  EXPECT_EQ(InstalledLibraryDirectory(), (prefix / "lib/korvel").string());
  EXPECT_EQ(InstalledDataDirectory(), (prefix / "share/korvel").string());
}

TEST(StandardFolders, AFolderWithoutWriteBitsIsReadOnlyForEveryone) {
  TempDir dir;
  const std::string folder = dir.MakeDir("ro");
  EXPECT_TRUE(IsWritableDirectory(folder));
  ::chmod(folder.c_str(), 0555);
  EXPECT_FALSE(IsWritableDirectory(folder));  // the super-user too
  EXPECT_FALSE(IsWritableDirectory(dir / "missing"));
  EXPECT_FALSE(IsWritableDirectory(dir.Write("file", "")));
  ::chmod(folder.c_str(), 0755);
}

TEST(StandardFolders, CreateDirectoriesMakesPrivateParents) {
  TempDir dir;
  CreateDirectories(dir / "a/b/c");
  struct stat info {};
  ASSERT_EQ(::stat((dir / "a/b").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 0777, 0700u);
  CreateDirectories(dir / "a/b/c");  // already there
  dir.Write("file", "");
  EXPECT_THROW(CreateDirectories(dir / "file/sub"), FileError);
}

}  // namespace
}  // namespace korvel::platform

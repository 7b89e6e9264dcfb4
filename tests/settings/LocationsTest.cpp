// Where things live: beside the program or in the user's folders, and the language lookup.
#include "settings/Locations.h"

#include <gtest/gtest.h>

#include "platform/FileError.h"
#include "platform/Files.h"
#include "support/TempDir.h"
#include "support/TestData.h"

namespace korvel {
namespace {

using test::TempDir;

const platform::UserFolders kUser{"/h/.config", "/h/.local/share", "/h/.cache", "/run/user/7"};

TEST(Locations, APortableCopyKeepsEverythingBesideTheProgram) {
  const Locations l = LocationsFor("/opt/k", true, "/opt/share/korvel", kUser);
  EXPECT_TRUE(l.beside_program);
  EXPECT_EQ(l.settings_file, "/opt/k/korvel.ini");
  EXPECT_EQ(l.job_dir, "/opt/k");
  EXPECT_EQ(l.language_dirs, std::vector<std::string>{"/opt/k"});
}

TEST(Locations, AnInstalledCopyUsesTheUsersFolders) {
  const Locations l = LocationsFor("/usr/bin", false, "/usr/share/korvel", kUser);
  EXPECT_FALSE(l.beside_program);
  EXPECT_EQ(l.settings_file, "/h/.config/korvel/korvel.ini");
  EXPECT_EQ(l.job_dir, "/h/.cache/korvel");
  EXPECT_EQ(l.language_dirs,
            (std::vector<std::string>{"/h/.local/share/korvel/lang", "/usr/share/korvel/lang"}));

  // Without a cache folder the work goes to the runtime folder; without either there is none,
  // and a job refuses to start rather than write among the programs.
  EXPECT_EQ(LocationsFor("/usr/bin", false, "/s", {"/c", "/d", "", "/run/u"}).job_dir,
            "/run/u/korvel");
  const Locations homeless = LocationsFor("/usr/bin", false, "/s", {});
  EXPECT_EQ(homeless.job_dir, "");
  EXPECT_EQ(homeless.language_dirs, std::vector<std::string>{"/s/lang"});
  EXPECT_THROW(PrepareJobDirectory(homeless.job_dir), FileError);
}

TEST(Locations, ALanguageFileIsTakenFromTheFirstFolderThatHasIt) {
  TempDir user;
  TempDir shared;
  shared.Write("English.lng", "");
  shared.Write("Deutsch.lng", "");
  const std::string mine = user.Write("Deutsch.lng", "");
  const std::vector<std::string> dirs{user.Path(), shared.Path()};

  EXPECT_EQ(ResolveLanguageFile(dirs, "Deutsch.lng"), mine);
  EXPECT_EQ(ResolveLanguageFile(dirs, "English.lng"), shared / "English.lng");
  EXPECT_EQ(ResolveLanguageFile(dirs, "Missing.lng"), user / "Missing.lng");
  EXPECT_EQ(ResolveLanguageFile(dirs, "/else/x.lng"), "/else/x.lng");
  EXPECT_EQ(ResolveLanguageFile(dirs, ""), "");
}

TEST(Locations, TheUsersFoldersAreMadeWhenFirstNeeded) {
  TempDir home;
  const Locations l =
      LocationsFor("/usr/bin", false, "/s", {home / "config", "", home / "cache/deep", ""});
  PrepareSettingsDirectory(l);
  PrepareJobDirectory(l.job_dir);
  EXPECT_TRUE(platform::DirectoryExists(home / "config/korvel"));
  EXPECT_TRUE(platform::DirectoryExists(home / "cache/deep/korvel"));
  PrepareJobDirectory(l.job_dir);  // already there
}

}  // namespace
}  // namespace korvel

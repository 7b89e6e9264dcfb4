// Folder listings: the attribute bits and times the file search tests against.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <map>

#include "platform/Directory.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace korvel::platform {
namespace {

using test::TempDir;

std::map<std::string, DirEntry> List(const std::string& folder) {
  std::map<std::string, DirEntry> entries;
  DirectoryReader reader(folder);
  EXPECT_TRUE(reader.IsOpen());
  DirEntry e;
  while (reader.Next(e)) entries[e.Name] = e;
  return entries;
}

TEST(Directory, ListsEveryEntryWithTheFiveAttributeBits) {
  TempDir dir;
  dir.Write("game.jar", "12345");
  ::chmod(dir.Write("ro.class", "").c_str(), 0444);
  dir.Write(".hidden", "h");
  dir.MakeDir("folder");
  dir.MakeDir(".svn");
  ASSERT_EQ(::symlink((dir / "folder").c_str(), (dir / "link").c_str()), 0);
  ASSERT_EQ(::symlink((dir / "gone").c_str(), (dir / "dangling").c_str()), 0);

  auto entries = List(dir.Path());
  ASSERT_EQ(entries.size(), 9u);
  EXPECT_EQ(entries["."].Attributes, kAttrDirectory);
  EXPECT_EQ(entries[".."].Attributes, kAttrDirectory);
  EXPECT_EQ(entries["game.jar"].Attributes, kAttrArchive);
  EXPECT_EQ(entries["game.jar"].Size, 5u);
  EXPECT_EQ(entries["ro.class"].Attributes, kAttrArchive | kAttrReadOnly);
  EXPECT_EQ(entries[".hidden"].Attributes, kAttrArchive | kAttrHidden);
  EXPECT_EQ(entries["folder"].Attributes, kAttrDirectory);
  EXPECT_EQ(entries["folder"].Size, 0u);
  EXPECT_EQ(entries[".svn"].Attributes, kAttrDirectory | kAttrHidden);
  EXPECT_EQ(entries["link"].Attributes, kAttrDirectory);
  EXPECT_TRUE(entries["link"].IsSymlink);
  EXPECT_FALSE(entries["folder"].IsSymlink);
  EXPECT_TRUE(entries["dangling"].IsSymlink);
  EXPECT_EQ(entries["dangling"].Attributes & kAttrDirectory, 0u);
}

TEST(Directory, ReportsTheFileTimes) {
  TempDir dir;
  const std::string file = dir.Write("a.class", "x");
  const struct timespec times[2] = {{1000000000, 0}, {1200000000, 500000000}};
  ASSERT_EQ(::utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
  DirEntry e;
  ASSERT_TRUE(StatEntry(file, e));
  EXPECT_EQ(e.Name, "a.class");
  using std::chrono::system_clock;
  EXPECT_EQ(e.LastAccessTime, system_clock::from_time_t(1000000000));
  EXPECT_EQ(e.LastWriteTime,
            system_clock::from_time_t(1200000000) + std::chrono::milliseconds(500));
  EXPECT_GT(e.CreationTime, system_clock::from_time_t(1200000000));  // made just now
}

TEST(Directory, AMissingFolderCannotBeListed) {
  TempDir dir;
  DirectoryReader reader(dir / "missing");
  EXPECT_FALSE(reader.IsOpen());
  DirEntry e;
  EXPECT_FALSE(reader.Next(e));
  EXPECT_FALSE(StatEntry(dir / "missing", e));
}

TEST(Time, CalendarFieldsAndDayNumbers) {
  const char* old_tz = std::getenv("TZ");
  const std::string saved = old_tz ? old_tz : "";
  ::setenv("TZ", "UTC", 1);
  ::tzset();
  const CalendarTime c = ToLocalCalendarTime(std::chrono::system_clock::from_time_t(951782400) +
                                             std::chrono::milliseconds(250));
  EXPECT_EQ(c, (CalendarTime{2000, 2, 2, 29, 0, 0, 0, 250}));  // a Tuesday, leap day
  EXPECT_EQ(CalendarDate(c), 36585.0);
  EXPECT_EQ(CalendarDate(CalendarTime{1899, 12, 6, 30, 0, 0, 0, 0}), 0.0);
  if (old_tz)
    ::setenv("TZ", saved.c_str(), 1);
  else
    ::unsetenv("TZ");
  ::tzset();

  const DateTime now = Now();
  const CalendarTime today = ToLocalCalendarTime(std::chrono::system_clock::now());
  EXPECT_GE(now, CalendarDate(today) - 1);
  EXPECT_LT(now, CalendarDate(today) + 1);
}

}  // namespace
}  // namespace korvel::platform

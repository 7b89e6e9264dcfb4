// Tests of the folder walk: order, entry tests, filters, statistics, links and errors.
#include "search/EasyFileSearch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "platform/Directory.h"
#include "platform/Time.h"
#include "search/Mask.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Everything one search reported.
struct Outcome {
  bool result = false;
  std::vector<TFileInformations> found;
  std::vector<std::string> folders;  // OnChangeFolder, in order
  std::vector<TStatistics> stats;

  // Entries as paths below `root` (which has no trailing '/'), in reporting order.
  std::vector<std::string> Relative(const std::string& root) const {
    std::vector<std::string> out;
    for (const auto& f : found) out.push_back((f.Path + f.Name).substr(root.size() + 1));
    return out;
  }
  std::vector<std::string> Sorted(const std::string& root) const {
    auto out = Relative(root);
    std::sort(out.begin(), out.end());
    return out;
  }
  int IndexOf(const std::string& root, const std::string& relative) const {
    auto rel = Relative(root);
    auto it = std::find(rel.begin(), rel.end(), relative);
    return it == rel.end() ? -1 : static_cast<int>(it - rel.begin());
  }
};

// Runs one search, recording what it reports. The recording handlers are removed again
// afterwards, also when the search throws, so none outlives the record it writes to.
Outcome RunSearch(TEasyFileSearch& search) {
  struct Unhook {
    TEasyFileSearch& search;
    ~Unhook() {
      search.OnFileFound = nullptr;
      search.OnChangeFolder = nullptr;
      search.OnStatistics = nullptr;
    }
  };
  Outcome out;
  Unhook unhook{search};
  search.OnFileFound = [&](const TFileInformations& f) { out.found.push_back(f); };
  search.OnChangeFolder = [&](const std::string& p) { out.folders.push_back(p); };
  search.OnStatistics = [&](const TStatistics& s) { out.stats.push_back(s); };
  out.result = search.Search();
  return out;
}

using Names = std::vector<std::string>;

TOptions PatchJobOptions() {
  return TOptions::All().Exclude(okLookForDirectory);
}

// A local time `days` days from today at 00:00:`seconds`.
std::time_t LocalDayStart(int days, int seconds) {
  std::time_t now = std::time(nullptr);
  std::tm t{};
  localtime_r(&now, &t);
  t.tm_mday += days;
  t.tm_hour = 0;
  t.tm_min = 0;
  t.tm_sec = seconds;
  t.tm_isdst = -1;
  return std::mktime(&t);
}

void SetModified(const std::string& path, std::time_t when) {
  fs::last_write_time(
      path, std::chrono::file_clock::from_sys(std::chrono::system_clock::from_time_t(when)));
}

TEST(EasyFileSearchTest, WalksBreadthFirst) {
  TempDir dir;
  dir.Write("top.class", "");
  dir.Write("top.txt", "");
  dir.Write("d1/one.class", "");
  dir.Write("d1/sub/deep.class", "");
  dir.Write("d2/two.class", "");
  dir.Write("d2/sub/deep.class", "");

  TEasyFileSearch search;
  search.SetRootPath(dir.Path());
  search.SetFileNames({"*.class"});
  Outcome out = RunSearch(search);

  ASSERT_TRUE(out.result);
  ASSERT_EQ(out.Sorted(dir.Path()), (Names{"d1/one.class", "d1/sub/deep.class", "d2/sub/deep.class",
                                           "d2/two.class", "top.class"}));
  // Both first-level folders are queued while the root is listed, so each file two levels
  // down comes after the root's entries and after both first-level folders' entries, whatever
  // order the system lists a folder in. A depth-first walk fails this for one of the two.
  for (const char* deep : {"d1/sub/deep.class", "d2/sub/deep.class"}) {
    int deep_at = out.IndexOf(dir.Path(), deep);
    EXPECT_GT(deep_at, out.IndexOf(dir.Path(), "top.class")) << deep;
    EXPECT_GT(deep_at, out.IndexOf(dir.Path(), "d1/one.class")) << deep;
    EXPECT_GT(deep_at, out.IndexOf(dir.Path(), "d2/two.class")) << deep;
  }
  // Folders are entered by depth, and the second level in the order of its parents.
  ASSERT_EQ(out.folders.size(), 5u);
  EXPECT_EQ(out.folders[0], dir.Path());
  const bool d1_first = out.folders[1] == dir / "d1";
  EXPECT_EQ(out.folders[1], dir / (d1_first ? "d1" : "d2"));
  EXPECT_EQ(out.folders[2], dir / (d1_first ? "d2" : "d1"));
  EXPECT_EQ(out.folders[3], dir / (d1_first ? "d1/sub" : "d2/sub"));
  EXPECT_EQ(out.folders[4], dir / (d1_first ? "d2/sub" : "d1/sub"));
}

TEST(EasyFileSearchTest, RootWithOrWithoutSeparatorGivesTheSameRecords) {
  TempDir dir;
  dir.Write("a.txt", "12345");
  dir.Write("sub/b.txt", "");

  TEasyFileSearch with_sep;
  with_sep.SetRootPath(dir.Path() + "/");
  Outcome a = RunSearch(with_sep);
  TEasyFileSearch without_sep;
  without_sep.SetRootPath(dir.Path());
  Outcome b = RunSearch(without_sep);

  // The handler sees the root exactly as it was set; subfolders get the separator added.
  EXPECT_EQ(a.folders, (Names{dir.Path() + "/", dir / "sub"}));
  EXPECT_EQ(b.folders, (Names{dir.Path(), dir / "sub"}));

  auto by_path = [](std::vector<TFileInformations> v) {
    std::sort(v.begin(), v.end(),
              [](auto& x, auto& y) { return x.Path + x.Name < y.Path + y.Name; });
    return v;
  };
  // Everything but the access time, which the first search may have moved.
  auto same = [](const TFileInformations& x, const TFileInformations& y) {
    return x.Path == y.Path && x.Name == y.Name && x.Attributes == y.Attributes &&
           x.Size == y.Size && x.LastWriteTime == y.LastWriteTime &&
           x.CreationTime == y.CreationTime;
  };
  auto ra = by_path(a.found);
  auto rb = by_path(b.found);
  ASSERT_EQ(ra.size(), 3u);
  ASSERT_EQ(rb.size(), 3u);
  EXPECT_TRUE(std::equal(ra.begin(), ra.end(), rb.begin(), same));
  EXPECT_EQ(ra[0].Path, dir.Path() + "/");
  EXPECT_EQ(ra[0].Name, "a.txt");
  EXPECT_EQ(ra[0].Size, 5);
  EXPECT_EQ(ra[1].Name, "sub");
  EXPECT_EQ(ra[2].Path, dir.Path() + "/sub/");
}

TEST(EasyFileSearchTest, FoldersPassStarDotStarFilesNeedADotDotsNeverShow) {
  TempDir dir;
  dir.Write("README", "");
  dir.Write("a.txt", "");
  dir.Write("nodot/inner.txt", "");
  dir.MakeDir("with.dot");

  TEasyFileSearch search;
  search.SetRootPath(dir.Path());
  Outcome out = RunSearch(search);

  EXPECT_EQ(out.Sorted(dir.Path()), (Names{"a.txt", "nodot", "nodot/inner.txt", "with.dot"}));
  for (const auto& f : out.found) {
    EXPECT_NE(f.Name, ".");
    EXPECT_NE(f.Name, "..");
  }
  for (const auto& p : out.folders) {
    EXPECT_NE(fs::path(p).filename(), ".");
    EXPECT_NE(fs::path(p).filename(), "..");
  }
  EXPECT_EQ(out.folders.size(), 3u);

  // Without "*.*" in the list a folder must match a mask like any file.
  search.SetFileNames({"*.txt", "*.dot"});
  out = RunSearch(search);
  EXPECT_EQ(out.Sorted(dir.Path()), (Names{"a.txt", "nodot/inner.txt", "with.dot"}));
}

TEST(EasyFileSearchTest, PatchJobOptionsReportHiddenButNotPlainFolders) {
  TempDir dir;
  dir.Write("plain/x.class", "");
  dir.Write(".hidden/y.class", "");
  dir.Write("z.class", "");

  TEasyFileSearch search;
  search.SetRootPath(dir.Path() + "/");
  search.SetSearchOptions(PatchJobOptions());
  search.FileNames().clear();
  search.FileNames().push_back("*.*");
  Outcome out = RunSearch(search);

  // "plain" carries only the folder attribute, which is no longer wanted; ".hidden" carries
  // the hidden one. Both are walked all the same.
  EXPECT_EQ(out.Sorted(dir.Path()),
            (Names{".hidden", ".hidden/y.class", "plain/x.class", "z.class"}));

  // ".hidden" fails "*.class", and without "*.*" in the list nothing lets it through.
  search.FileNames().clear();
  search.FileNames().push_back("*.class");
  out = RunSearch(search);
  EXPECT_EQ(out.Sorted(dir.Path()), (Names{".hidden/y.class", "plain/x.class", "z.class"}));

  // The language dialog's setting: no subfolders.
  search.SetSearchOptions(PatchJobOptions().Exclude(okIncludeSubfolder));
  out = RunSearch(search);
  EXPECT_EQ(out.Sorted(dir.Path()), (Names{"z.class"}));
  EXPECT_EQ(out.folders.size(), 1u);
}

TEST(EasyFileSearchTest, EmptyMaskListAndExclusions) {
  TempDir dir;
  dir.Write("readme.txt", "");
  dir.Write("game.jar", "");
  dir.Write("sub/other.txt", "");

  TEasyFileSearch search;
  search.SetRootPath(dir.Path());
  search.FileNames().clear();
  Outcome out = RunSearch(search);
  EXPECT_TRUE(out.result);
  EXPECT_TRUE(out.found.empty());
  EXPECT_EQ(out.folders.size(), 2u);  // still walked

  search.SetFileNames({"*.*"});
  search.SetExcludedFiles({"*.jar", "README.TXT"});
  out = RunSearch(search);
  EXPECT_EQ(out.Sorted(dir.Path()), (Names{"sub", "sub/other.txt"}));
}

TEST(EasyFileSearchTest, MissingRootFailsWithEmptyStatistics) {
  TempDir dir;
  TEasyFileSearch search;
  search.SetRootPath(dir / "absent");
  Outcome out = RunSearch(search);
  EXPECT_FALSE(out.result);
  EXPECT_TRUE(out.found.empty());
  EXPECT_EQ(out.folders, Names{dir / "absent"});
  ASSERT_EQ(out.stats.size(), 1u);
  EXPECT_EQ(out.stats[0].FilesFound, 0);
  EXPECT_EQ(out.stats[0].FoldersWithFiles, 0);
  EXPECT_EQ(out.stats[0].FoldersFound, 0);
}

TEST(EasyFileSearchTest, FolderThatCannotBeListedEndsTheWalk) {
  TempDir dir;
  dir.Write("a.txt", "");
  dir.Write("d1/x.txt", "");
  dir.Write("d2/y.txt", "");

  TEasyFileSearch search;
  search.SetRootPath(dir.Path());
  Outcome out;
  search.OnFileFound = [&](const TFileInformations& f) { out.found.push_back(f); };
  search.OnStatistics = [&](const TStatistics& s) { out.stats.push_back(s); };
  // The first subfolder vanishes between being queued and being listed.
  search.OnChangeFolder = [&](const std::string& p) {
    out.folders.push_back(p);
    if (out.folders.size() == 2) fs::remove_all(p);
  };
  out.result = search.Search();

  EXPECT_FALSE(out.result);
  EXPECT_EQ(out.folders.size(), 2u);  // the other folder is never entered
  EXPECT_EQ(out.Sorted(dir.Path()), (Names{"a.txt", "d1", "d2"}));
  ASSERT_EQ(out.stats.size(), 1u);
  EXPECT_EQ(out.stats[0].FilesFound, 1);
  EXPECT_EQ(out.stats[0].FoldersFound, 2);
}

TEST(EasyFileSearchTest, StatisticsCountWhatWasReported) {
  TempDir dir;
  dir.Write("a.txt", "");
  dir.Write("b.txt", "");
  dir.Write("d1/c.txt", "");
  dir.MakeDir("d2");
  dir.Write("d3/e.bin", "");
  dir.Write("d3/skip.me", "");

  TEasyFileSearch search;
  search.SetRootPath(dir.Path());
  search.SetExcludedFiles({"skip.me"});
  for (int round = 0; round < 2; ++round) {  // counters start afresh each time
    Outcome out = RunSearch(search);
    ASSERT_EQ(out.stats.size(), 1u);
    EXPECT_EQ(out.stats[0].FilesFound, 4);
    EXPECT_EQ(out.stats[0].FoldersWithFiles, 3);
    EXPECT_EQ(out.stats[0].FoldersFound, 3);
  }

  // Folders that are walked but not reported still count when they hold reported files.
  search.SetFileNames({"*.txt"});
  Outcome out = RunSearch(search);
  ASSERT_EQ(out.stats.size(), 1u);
  EXPECT_EQ(out.stats[0].FilesFound, 3);
  EXPECT_EQ(out.stats[0].FoldersWithFiles, 2);
  EXPECT_EQ(out.stats[0].FoldersFound, 0);
}

TEST(EasyFileSearchTest, DateFilterComparesWholeLocalDays) {
  TempDir dir;
  const std::string today = dir.Write("today.txt", "");
  const std::string old = dir.Write("old.txt", "");
  SetModified(today, LocalDayStart(0, 1));  // just after midnight
  SetModified(old, LocalDayStart(-3, 1));

  TEasyFileSearch search;
  search.SetRootPath(dir.Path());
  search.SetFilterKind(TFilter{fkFilterOnDate});
  search.SetDateFilterFileAccess(dfakModifiedFiles);
  search.SetDateFilterKind(dfkSame);
  const double today_date = std::trunc(platform::Now());
  search.SetDateFilterFirstDate(today_date + 0.95);  // late evening: the time of day is ignored
  EXPECT_EQ(RunSearch(search).Sorted(dir.Path()), Names{"today.txt"});

  search.SetDateFilterKind(dfkBefore);
  EXPECT_EQ(RunSearch(search).Sorted(dir.Path()), Names{"old.txt"});

  search.SetDateFilterKind(dfkAfter);
  search.SetDateFilterFirstDate(today_date - 5);
  EXPECT_EQ(RunSearch(search).Sorted(dir.Path()), (Names{"old.txt", "today.txt"}));

  search.SetDateFilterKind(dfkBetween);
  search.SetDateFilterFirstDate(today_date - 3.5);
  search.SetDateFilterSecondDate(today_date - 1);
  EXPECT_EQ(RunSearch(search).Sorted(dir.Path()), Names{"old.txt"});

  // Both files were created today, so any stamp lets the old one through as well.
  search.SetDateFilterFileAccess(dfakCreatedFiles);
  search.SetDateFilterKind(dfkSame);
  search.SetDateFilterFirstDate(today_date);
  EXPECT_EQ(RunSearch(search).Sorted(dir.Path()), (Names{"old.txt", "today.txt"}));
  search.SetDateFilterFileAccess(dfakAnyFiles);
  EXPECT_EQ(RunSearch(search).Sorted(dir.Path()), (Names{"old.txt", "today.txt"}));

  // Off again: the dates no longer matter.
  search.SetFilterKind(TFilter{});
  search.SetDateFilterFirstDate(today_date - 100);
  EXPECT_EQ(RunSearch(search).Sorted(dir.Path()), (Names{"old.txt", "today.txt"}));
}

TEST(EasyFileSearchTest, SizeFilterUsesTheSignedLow32Bits) {
  TempDir dir;
  dir.Write("empty.txt", "");
  dir.Write("one.txt", "x");
  dir.Write("five.txt", "12345");
  dir.MakeDir("folder");

  TEasyFileSearch search;
  search.SetRootPath(dir.Path());
  search.SetFilterKind(TFilter{fkFilterOnSize});
  EXPECT_EQ(RunSearch(search).Sorted(dir.Path()), (Names{"empty.txt", "folder"}));

  search.SetSizeFilterKind(sfkBiggerOrEqualTo);
  search.SetSizeFilterSize(5);
  EXPECT_EQ(RunSearch(search).Sorted(dir.Path()), Names{"five.txt"});

  // Sparse files: 4 GiB + 5 bytes reads as 5, 3 GiB as a negative size.
  std::error_code ec;
  fs::resize_file(dir.Write("huge.bin", ""), (std::uintmax_t{1} << 32) + 5, ec);
  if (!ec) fs::resize_file(dir.Write("neg.bin", ""), std::uintmax_t{3} << 30, ec);
  if (ec) GTEST_SKIP() << "no sparse files here: " << ec.message();
  search.SetFilterKind(TFilter{});
  search.SetFileNames({"*.bin"});
  Outcome out = RunSearch(search);
  ASSERT_EQ(out.found.size(), 2u);
  for (const auto& f : out.found)
    EXPECT_EQ(f.Size, f.Name == "huge.bin" ? 5 : -(std::int32_t{1} << 30)) << f.Name;

  search.SetFilterKind(TFilter{fkFilterOnSize});
  search.SetSizeFilterKind(sfkSmallerOrEqualTo);
  search.SetSizeFilterSize(0);
  EXPECT_EQ(RunSearch(search).Sorted(dir.Path()), Names{"neg.bin"});
}

TEST(EasyFileSearchTest, AcceptVetoHidesAndDoesNotCount) {
  TempDir dir;
  dir.Write("keep.txt", "");
  dir.Write("drop.txt", "");
  dir.Write("sub/drop.txt", "");

  TEasyFileSearch search;
  search.SetRootPath(dir.Path());
  Names asked;
  search.OnAcceptFile = [&](const TFileInformations& f) {
    asked.push_back(f.Name);
    return f.Name != "drop.txt";
  };
  Outcome out = RunSearch(search);
  EXPECT_EQ(out.Sorted(dir.Path()), (Names{"keep.txt", "sub"}));
  EXPECT_EQ(asked.size(), 4u);
  ASSERT_EQ(out.stats.size(), 1u);
  EXPECT_EQ(out.stats[0].FilesFound, 1);
  EXPECT_EQ(out.stats[0].FoldersWithFiles, 1);
}

TEST(EasyFileSearchTest, LinksToFoldersAreReportedButNeverWalked) {
  TempDir dir;
  dir.Write("real/f.txt", "");
  fs::create_directory_symlink(dir.Path(), dir / "real/loop");  // points back up
  fs::create_directory_symlink(dir / "real", dir / "link");

  TEasyFileSearch search;
  search.SetRootPath(dir.Path());
  Outcome out = RunSearch(search);

  EXPECT_TRUE(out.result);
  EXPECT_EQ(out.Sorted(dir.Path()), (Names{"link", "real", "real/f.txt", "real/loop"}));
  EXPECT_EQ(out.folders, (Names{dir.Path(), dir / "real"}));
  for (const auto& f : out.found) {
    if (f.Name == "link" || f.Name == "loop") {
      EXPECT_NE(f.Attributes & platform::kAttrDirectory, 0) << f.Name;
    }
  }
}

TEST(EasyFileSearchTest, ErrorsFromHandlersAndMasksReachTheCaller) {
  TempDir dir;
  dir.Write("a.txt", "");
  dir.Write("sub/b.txt", "");

  TEasyFileSearch search;
  search.SetRootPath(dir.Path());
  search.OnFileFound = [](const TFileInformations&) { throw std::runtime_error("stop"); };
  EXPECT_THROW(search.Search(), std::runtime_error);

  // A later search starts clean: the whole tree, fresh counts.
  Outcome out = RunSearch(search);
  EXPECT_EQ(out.Sorted(dir.Path()), (Names{"a.txt", "sub", "sub/b.txt"}));
  ASSERT_EQ(out.stats.size(), 1u);
  EXPECT_EQ(out.stats[0].FilesFound, 2);

  // A bad mask after one that matches every name here is never reached...
  TempDir dotted;
  dotted.Write("a.txt", "");
  dotted.Write("b.dat", "");
  search.SetRootPath(dotted.Path());
  search.SetFileNames({"*.*", "[bad"});
  EXPECT_TRUE(RunSearch(search).result);
  // ...until a name without a dot gets to it.
  dotted.Write("nodot", "");
  try {
    RunSearch(search);
    ADD_FAILURE() << "no MaskError";
  } catch (const MaskError& e) {
    EXPECT_STREQ(e.what(), "'[bad' is an invalid mask at (5)");
  }

  // Exclusions are tested on every entry, even one that fails the other tests.
  search.SetFileNames({"*.*"});
  search.SetSearchOptions(TOptions{});
  search.SetExcludedFiles({"[]"});
  EXPECT_THROW(search.Search(), MaskError);
}

}  // namespace
}  // namespace korvel

// The breadth-first walk of the file search engine and its entry tests.
#include "search/FileSearch.h"

#include <cmath>

#include "platform/Files.h"

namespace korvel {

void TFileSearch::SetOptions(const TOptions& options) {
  include_subfolders_ = options.Contains(okIncludeSubfolder);
  any_file_ = options.Contains(okLookForAnyFile);
  wanted_attributes_ = 0;
  if (options.Contains(okLookForReadOnlyFile)) wanted_attributes_ |= platform::kAttrReadOnly;
  if (options.Contains(okLookForHiddenFile)) wanted_attributes_ |= platform::kAttrHidden;
  if (options.Contains(okLookForSystemFile)) wanted_attributes_ |= platform::kAttrSystem;
  if (options.Contains(okLookForDirectory)) wanted_attributes_ |= platform::kAttrDirectory;
  if (options.Contains(okLookForArchiveFile)) wanted_attributes_ |= platform::kAttrArchive;
}

void TFileSearch::SetDateFilter(bool on, TDateFilterAccessKind access, TDateFilterKind kind,
                                platform::DateTime first_date, platform::DateTime second_date) {
  date_filter_on_ = on;
  date_access_ = access;
  date_kind_ = kind;
  // Only the day counts, on both sides of the comparison.
  first_date_ = std::trunc(first_date);
  second_date_ = std::trunc(second_date);
}

void TFileSearch::SetSizeFilter(bool on, TSizeFilterKind kind, std::int32_t size) {
  size_filter_on_ = on;
  size_kind_ = kind;
  size_limit_ = size;
}

bool TFileSearch::Search() {
  const std::uint32_t start_ticks = platform::TickCount();
  TStatistics stats;
  std::deque<std::string> pending;
  bool complete = true;

  std::string folder = root_path_;
  for (;;) {
    if (OnChangeFolder) OnChangeFolder(folder);
    // An empty root stays empty, so it fails to list instead of becoming the file system's root.
    if (!folder.empty() && folder.back() != platform::kPathSeparator)
      folder += platform::kPathSeparator;
    if (!ScanFolder(folder, pending, stats)) {
      complete = false;
      break;
    }
    if (pending.empty()) break;
    folder = std::move(pending.front());
    pending.pop_front();
  }

  // The counter wraps like a 32-bit value; the unsigned difference stays right across a wrap.
  stats.ElapsedMs = static_cast<std::int32_t>(platform::TickCount() - start_ticks);
  if (OnStatistics) OnStatistics(stats);
  return complete;
}

bool TFileSearch::ScanFolder(const std::string& folder, std::deque<std::string>& pending,
                             TStatistics& stats) {
  platform::DirectoryReader reader(folder);
  if (!reader.IsOpen()) return false;

  bool file_reported = false;
  platform::DirEntry entry;
  while (reader.Next(entry)) {
    if (entry.Name == "." || entry.Name == "..") continue;

    const bool is_folder = (entry.Attributes & platform::kAttrDirectory) != 0;
    // Queued before any test: a folder is walked whether or not it is reported itself.
    // Links are left out so that a link pointing back up cannot make the walk endless.
    if (is_folder && include_subfolders_ && !entry.IsSymlink)
      pending.push_back(folder + entry.Name);

    TFileInformations info;
    info.Name = entry.Name;
    info.Path = folder;
    info.Attributes = static_cast<std::int32_t>(entry.Attributes);
    info.Size = static_cast<std::int32_t>(static_cast<std::uint32_t>(entry.Size));
    info.CreationTime = platform::ToLocalCalendarTime(entry.CreationTime);
    info.LastAccessTime = platform::ToLocalCalendarTime(entry.LastAccessTime);
    info.LastWriteTime = platform::ToLocalCalendarTime(entry.LastWriteTime);

    if (!Qualifies(entry, info)) continue;
    if (OnAcceptFile && !OnAcceptFile(info)) continue;

    if (is_folder) {
      ++stats.FoldersFound;
    } else {
      ++stats.FilesFound;
      if (!file_reported) ++stats.FoldersWithFiles;
      file_reported = true;
    }
    if (OnFileFound) OnFileFound(info);
  }
  return true;
}

bool TFileSearch::Qualifies(const platform::DirEntry& entry, const TFileInformations& info) {
  const bool is_folder = (entry.Attributes & platform::kAttrDirectory) != 0;
  // Every test runs even when an earlier one already failed, so an invalid mask shows up at the
  // first entry whatever its attributes.
  bool ok = (entry.Attributes & wanted_attributes_) != 0 || (any_file_ && !is_folder);
  if (date_filter_on_ && !DatePasses(info)) ok = false;
  if (size_filter_on_) {
    const bool passes =
        size_kind_ == sfkSmallerOrEqualTo ? info.Size <= size_limit_ : info.Size >= size_limit_;
    if (!passes) ok = false;
  }
  if (excluded_files_.AnyMatches(info.Name)) ok = false;
  // "*.*" stands for "everything" where folders are concerned, even for names without a dot.
  const bool name_passes =
      file_names_.AnyMatches(info.Name) || (is_folder && file_names_.Contains("*.*"));
  if (!name_passes) ok = false;
  return ok;
}

bool TFileSearch::DatePasses(const TFileInformations& info) const {
  switch (date_access_) {
    case dfakCreatedFiles:
      return DayPasses(info.CreationTime);
    case dfakModifiedFiles:
      return DayPasses(info.LastWriteTime);
    case dfakOpenedFiles:
      return DayPasses(info.LastAccessTime);
    case dfakAnyFiles:
      break;
  }
  return DayPasses(info.CreationTime) || DayPasses(info.LastWriteTime) ||
         DayPasses(info.LastAccessTime);
}

bool TFileSearch::DayPasses(const platform::CalendarTime& time) const {
  const platform::DateTime day = platform::CalendarDate(time);
  switch (date_kind_) {
    case dfkBetween:
      return first_date_ <= day && day <= second_date_;
    case dfkBefore:
      return day < first_date_;
    case dfkAfter:
      return day > first_date_;
    case dfkSame:
      break;
  }
  return day == first_date_;
}

}  // namespace korvel

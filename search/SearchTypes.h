// The option sets, filter kinds, records and event types of the file search.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "platform/EnumSet.h"
#include "platform/Time.h"

namespace korvel {

// What the walk descends into and which entries qualify by their attributes.
enum TOptionKind : std::uint8_t {
  okIncludeSubfolder,     // folders below the root are walked too
  okLookForReadOnlyFile,  // entries with the read-only attribute qualify
  okLookForHiddenFile,    // entries with the hidden attribute qualify
  okLookForSystemFile,    // entries with the system attribute qualify
  okLookForDirectory,     // folder entries qualify
  okLookForArchiveFile,   // entries with the archive attribute qualify
  okLookForAnyFile,       // every entry that is not a folder qualifies
};
using TOptions = EnumSet<TOptionKind, 7>;

// Which of the two filters are on.
enum TFilterKind : std::uint8_t {
  fkFilterOnDate,
  fkFilterOnSize,
};
using TFilter = EnumSet<TFilterKind, 2>;

// Which time stamp the date filter tests.
enum TDateFilterAccessKind : std::uint8_t {
  dfakCreatedFiles,   // creation time
  dfakModifiedFiles,  // last write time
  dfakOpenedFiles,    // last access time
  dfakAnyFiles,       // passes when any of the three passes
};

// How the day of a time stamp compares with the filter's dates.
enum TDateFilterKind : std::uint8_t {
  dfkBetween,  // first <= day <= second
  dfkBefore,   // day < first
  dfkAfter,    // day > first
  dfkSame,     // day == first
};

// Direction of the size filter.
enum TSizeFilterKind : std::uint8_t {
  sfkSmallerOrEqualTo,
  sfkBiggerOrEqualTo,
};

// One reported entry. Its full path is Path + Name.
struct TFileInformations {
  std::string Name;                     // without folder
  std::string Path;                     // the folder holding it, always ending in '/'
  std::int32_t Attributes = 0;          // platform::kAttr* bits
  std::int32_t Size = 0;                // low 32 bits of the length, signed; 0 for folders
  platform::CalendarTime CreationTime;  // local time, like the two below
  platform::CalendarTime LastAccessTime;
  platform::CalendarTime LastWriteTime;
};

// Counts of one search, reported once at its end.
struct TStatistics {
  std::int32_t FilesFound = 0;        // reported entries that are not folders
  std::int32_t FoldersWithFiles = 0;  // folders in which at least one file was reported
  std::int32_t FoldersFound = 0;      // reported folder entries
  std::int32_t ElapsedMs = 0;         // by the tick counter, from start to end of the walk
};

// Raised once per reported entry.
using TOnFileFound = std::function<void(const TFileInformations& file_found)>;
// The last veto before an entry is reported; answering false hides it.
using TOnAcceptFile = std::function<bool(const TFileInformations& file_found)>;
// Raised when the walk enters a folder, with the folder's path as it was queued.
using TOnChangeFolder = std::function<void(const std::string& new_path)>;
// Raised once at the end of every search, also when it ended early.
using TOnStatistics = std::function<void(const TStatistics& stats)>;

}  // namespace korvel

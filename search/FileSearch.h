// TFileSearch: the engine that walks folders and reports the entries that pass its tests.
#pragma once

#include <cstdint>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "platform/Directory.h"
#include "platform/Time.h"
#include "search/Mask.h"
#include "search/SearchTypes.h"

namespace korvel {

// Walks a folder breadth-first (first in, first out): the root's entries come first, then those
// of each folder in the order the folders were met. Within one folder, entries come in the order
// the system lists them. An entry is reported when all of these pass:
//   - attributes: it shares a bit with the wanted attributes, or it is a file and
//     okLookForAnyFile is set;
//   - the date filter and the size filter, when they are on;
//   - no exclusion mask matches its name;
//   - a mask of FileNames matches its name (for a folder, FileNames holding "*.*" is enough);
//   - OnAcceptFile, when set, answers true.
// Links to folders are reported like folders but never walked, so a link loop cannot trap
// the walk.
//
// Settings stay until changed. Errors raised by an invalid mask or by a callback end the search
// and reach the caller of Search(); the engine is then ready for the next search.
class TFileSearch {
 public:
  TFileSearch() = default;
  TFileSearch(const TFileSearch&) = delete;
  TFileSearch& operator=(const TFileSearch&) = delete;

  // The folder where the walk starts; "./" unless set. A trailing '/' is optional.
  const std::string& RootPath() const { return root_path_; }
  void SetRootPath(std::string root_path) { root_path_ = std::move(root_path); }

  void SetOptions(const TOptions& options);
  void SetDateFilter(bool on, TDateFilterAccessKind access, TDateFilterKind kind,
                     platform::DateTime first_date, platform::DateTime second_date);
  void SetSizeFilter(bool on, TSizeFilterKind kind, std::int32_t size);
  // Names must match one of these masks; initially "*.*".
  void SetFileNames(std::vector<std::string> masks) { file_names_ = MaskList(std::move(masks)); }
  // Names matching one of these masks are never reported; initially none.
  void SetExcludedFiles(std::vector<std::string> masks) {
    excluded_files_ = MaskList(std::move(masks));
  }

  // Runs one walk from RootPath. True when every folder could be listed; false when one could
  // not, which ends the walk at once (what was reported stands, OnStatistics is still raised).
  bool Search();

  // Any of these may be left empty. An empty OnAcceptFile accepts every entry.
  TOnFileFound OnFileFound;
  TOnAcceptFile OnAcceptFile;
  TOnChangeFolder OnChangeFolder;
  TOnStatistics OnStatistics;

 private:
  // Lists one folder (`folder` ends in '/'); false when it cannot be listed.
  bool ScanFolder(const std::string& folder, std::deque<std::string>& pending, TStatistics& stats);
  bool Qualifies(const platform::DirEntry& entry, const TFileInformations& info);
  bool DatePasses(const TFileInformations& info) const;
  bool DayPasses(const platform::CalendarTime& time) const;

  std::string root_path_ = "./";
  bool include_subfolders_ = true;
  bool any_file_ = true;
  std::uint32_t wanted_attributes_ = platform::kAttrReadOnly | platform::kAttrHidden |
                                     platform::kAttrSystem | platform::kAttrDirectory |
                                     platform::kAttrArchive;

  bool date_filter_on_ = false;
  TDateFilterAccessKind date_access_ = dfakAnyFiles;
  TDateFilterKind date_kind_ = dfkSame;
  platform::DateTime first_date_ = 0;
  platform::DateTime second_date_ = 0;

  bool size_filter_on_ = false;
  TSizeFilterKind size_kind_ = sfkSmallerOrEqualTo;
  std::int32_t size_limit_ = 0;

  MaskList file_names_{std::vector<std::string>{"*.*"}};
  MaskList excluded_files_;
};

}  // namespace korvel

// TEasyFileSearch: the file search component that the program's windows and the patch job use.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/Time.h"
#include "search/SearchTypes.h"

namespace korvel {

class TFileSearch;

// Reports, one by one, the entries of a folder (and optionally of every folder below it) that
// pass its name masks, attribute options and filters. Typical use:
//
//   TEasyFileSearch fs;
//   fs.SetRootPath(work_dir);
//   fs.FileNames().clear();
//   fs.FileNames().push_back("*.class");
//   fs.OnFileFound = [](const TFileInformations& f) { Patch(f.Path + f.Name); };
//   fs.Search();
//
// Settings persist between searches and are copied into the engine at the start of each
// Search(), so changing them from an event handler takes effect at the next search. Entries come
// breadth-first; see TFileSearch for the order and the tests.
class TEasyFileSearch {
 public:
  TEasyFileSearch();
  ~TEasyFileSearch();
  // The engine's callbacks refer back to this object, so it stays where it was made.
  TEasyFileSearch(const TEasyFileSearch&) = delete;
  TEasyFileSearch& operator=(const TEasyFileSearch&) = delete;

  std::string Version() const { return "TEasyFileSearch v1.02"; }

  // What to descend into and which entries qualify; all seven members by default.
  const TOptions& SearchOptions() const { return search_options_; }
  void SetSearchOptions(const TOptions& options) { search_options_ = options; }

  // Which filters are on; none by default.
  const TFilter& FilterKind() const { return filter_kind_; }
  void SetFilterKind(const TFilter& filter) { filter_kind_ = filter; }

  // The date filter: which stamp it tests (dfakAnyFiles), how (dfkSame) and against which days
  // (both today at construction). The time of day is ignored.
  TDateFilterAccessKind DateFilterFileAccess() const { return date_filter_file_access_; }
  void SetDateFilterFileAccess(TDateFilterAccessKind access) { date_filter_file_access_ = access; }
  TDateFilterKind DateFilterKind() const { return date_filter_kind_; }
  void SetDateFilterKind(TDateFilterKind kind) { date_filter_kind_ = kind; }
  platform::DateTime DateFilterFirstDate() const { return date_filter_first_date_; }
  void SetDateFilterFirstDate(platform::DateTime date) { date_filter_first_date_ = date; }
  // Used by dfkBetween only.
  platform::DateTime DateFilterSecondDate() const { return date_filter_second_date_; }
  void SetDateFilterSecondDate(platform::DateTime date) { date_filter_second_date_ = date; }

  // The size filter compares the signed 32-bit Size with the limit (sfkSmallerOrEqualTo, 0).
  // Folder entries have size 0.
  TSizeFilterKind SizeFilterKind() const { return size_filter_kind_; }
  void SetSizeFilterKind(TSizeFilterKind kind) { size_filter_kind_ = kind; }
  std::int32_t SizeFilterSize() const { return size_filter_size_; }
  void SetSizeFilterSize(std::int32_t size) { size_filter_size_ = size; }

  // Names matching any of these masks are not reported; empty by default.
  std::vector<std::string>& ExcludedFiles() { return excluded_files_; }
  const std::vector<std::string>& ExcludedFiles() const { return excluded_files_; }
  void SetExcludedFiles(const std::vector<std::string>& masks) { excluded_files_ = masks; }

  // Names must match one of these masks; "*.*" by default. An empty list reports nothing.
  std::vector<std::string>& FileNames() { return file_names_; }
  const std::vector<std::string>& FileNames() const { return file_names_; }
  void SetFileNames(const std::vector<std::string>& masks) { file_names_ = masks; }

  // The folder where the walk starts; "./" by default. Kept by the engine itself.
  const std::string& RootPath() const;
  void SetRootPath(std::string root_path);

  // Runs one search with the current settings. True when every folder could be listed.
  // Raises MaskError for an invalid mask and passes on whatever an event handler raises.
  bool Search();

  TOnFileFound OnFileFound;
  // When unset, every entry that passes the tests is accepted.
  TOnAcceptFile OnAcceptFile;
  TOnChangeFolder OnChangeFolder;
  TOnStatistics OnStatistics;

 private:
  TOptions search_options_ = TOptions::All();
  TFilter filter_kind_;
  TDateFilterAccessKind date_filter_file_access_ = dfakAnyFiles;
  TDateFilterKind date_filter_kind_ = dfkSame;
  platform::DateTime date_filter_first_date_;
  platform::DateTime date_filter_second_date_;
  TSizeFilterKind size_filter_kind_ = sfkSmallerOrEqualTo;
  std::int32_t size_filter_size_ = 0;
  std::vector<std::string> excluded_files_;
  std::vector<std::string> file_names_{"*.*"};
  std::unique_ptr<TFileSearch> engine_;
};

}  // namespace korvel

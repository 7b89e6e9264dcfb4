// The file search component: its defaults and the hand-over of its settings to the engine.
#include "search/EasyFileSearch.h"

#include <utility>

#include "search/FileSearch.h"

namespace korvel {

TEasyFileSearch::TEasyFileSearch()
    : date_filter_first_date_(platform::Now()),
      date_filter_second_date_(date_filter_first_date_),
      engine_(std::make_unique<TFileSearch>()) {
  // The engine reports through these adapters, so handlers assigned later are still seen.
  engine_->OnFileFound = [this](const TFileInformations& file_found) {
    if (OnFileFound) OnFileFound(file_found);
  };
  engine_->OnAcceptFile = [this](const TFileInformations& file_found) {
    return OnAcceptFile ? OnAcceptFile(file_found) : true;
  };
  engine_->OnChangeFolder = [this](const std::string& new_path) {
    if (OnChangeFolder) OnChangeFolder(new_path);
  };
  engine_->OnStatistics = [this](const TStatistics& stats) {
    if (OnStatistics) OnStatistics(stats);
  };
}

TEasyFileSearch::~TEasyFileSearch() = default;

const std::string& TEasyFileSearch::RootPath() const {
  return engine_->RootPath();
}

void TEasyFileSearch::SetRootPath(std::string root_path) {
  engine_->SetRootPath(std::move(root_path));
}

bool TEasyFileSearch::Search() {
  engine_->SetOptions(search_options_);
  engine_->SetDateFilter(filter_kind_.Contains(fkFilterOnDate), date_filter_file_access_,
                         date_filter_kind_, date_filter_first_date_, date_filter_second_date_);
  engine_->SetSizeFilter(filter_kind_.Contains(fkFilterOnSize), size_filter_kind_,
                         size_filter_size_);
  engine_->SetExcludedFiles(excluded_files_);
  engine_->SetFileNames(file_names_);
  return engine_->Search();
}

}  // namespace korvel

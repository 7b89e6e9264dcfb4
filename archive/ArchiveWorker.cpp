// TArchiveWorker: the operations and their state; the directory reader, the command records and
// the callback answers have files of their own.
#include "archive/ArchiveWorker.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <stdexcept>

#include "archive/ArchiveMessages.h"
#include "archive/ArchiveWorkerInternals.h"
#include "platform/Files.h"

namespace korvel {
namespace {

// Empties the pattern lists however an operation ends.
class PatternListsEmptier {
 public:
  PatternListsEmptier(std::vector<std::string>& specs, std::vector<std::string>* excl = nullptr)
      : specs_(specs), excl_(excl) {}
  ~PatternListsEmptier() {
    specs_.clear();
    if (excl_ != nullptr) excl_->clear();
  }
  PatternListsEmptier(const PatternListsEmptier&) = delete;
  PatternListsEmptier& operator=(const PatternListsEmptier&) = delete;

 private:
  std::vector<std::string>& specs_;
  std::vector<std::string>* excl_;
};

}  // namespace

std::string PlatformSeparators(std::string name) {
  if (platform::kPathSeparator != '/')
    std::replace(name.begin(), name.end(), '/', platform::kPathSeparator);
  return name;
}

std::string Trim(std::string_view s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  std::size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

std::string NormalizeStoreSuffixes(std::string_view text) {
  std::string out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(",:;", start);
    if (end == std::string_view::npos) end = text.size();
    std::string item = Trim(text.substr(start, end - start));
    if (!item.empty()) {
      if (item[0] != '.') out += '.';
      out += item;
      out += ':';
    }
    start = end + 1;
  }
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string StoreSuffixList(const AddStoreExts& suffixes, std::string_view ext) {
  static constexpr std::array<const char*, 18> kSuffixes{"gif", "png", "z",   "zip",  "zoo", "arc",
                                                         "lzh", "arj", "taz", "tgz",  "lha", "rar",
                                                         "ace", "cab", "gz",  "gzip", "jar", "exe"};
  std::string list;
  for (std::size_t i = 0; i < kSuffixes.size(); ++i) {
    if (suffixes.Contains(static_cast<AddStoreSuffixEnum>(i))) {
      list += '.';
      list += kSuffixes[i];
      list += ':';
    }
  }
  if (suffixes.Contains(AddStoreSuffixEnum::assEXT)) list += ext;
  if (!list.empty()) list.pop_back();
  return list;
}

TArchiveWorker::TArchiveWorker()
    : pack_engine_(std::make_unique<TPackEngine>(*this)),
      unpack_engine_(std::make_unique<TUnpackEngine>(*this)) {}

TArchiveWorker::~TArchiveWorker() {
  active_ = false;
  SetEvents({});
}

void TArchiveWorker::SetActive(bool active) {
  active_ = active;
  if (active_ && list_pending_) List();
}

void TArchiveWorker::ResetDirectory() {
  entries_.clear();
  zip_comment_.clear();
  central_dir_offset_ = 0;
  effective_size_ = 0;
  lowest_local_offset_ = 0;
  disk_no_ = 0;
  spanned_ = false;
  dir_only_count_ = 0;
  ClearError();
}

void TArchiveWorker::ShowEngineRunError(const EArchiveError& error) {
  EArchiveError shown = error;
  if (handler_exception_) shown.SetMessage(shown.Message() + handler_exception_note_);
  ShowExceptionError(shown);
}

void TArchiveWorker::StartEngineRun() {
  cancel_ = false;
  handler_exception_ = false;
  handler_exception_note_.clear();
}

int TArchiveWorker::Extract() {
  PatternListsEmptier emptier(fspec_args_);
  success_count_ = 0;
  ClearError();
  if (zip_file_name_.empty()) {
    ShowArchiveMessage(kArchiveNoZipSpecified);
    return ErrCode();
  }
  if (entries_.empty()) {
    List();
    if (entries_.empty()) {
      if (ErrCode() == 0) ShowArchiveMessage(kArchiveFileOpen);
      return ErrCode();
    }
  }
  if (unpack_busy_) return ErrCode();

  std::uint32_t password_requests = std::min(settings_.PasswordReqCount, kMaxPasswordRepeats);
  if (Unattended() && settings_.Password.empty() && !Events().OnPasswordError) {
    password_requests = 0;
    ShowArchiveMessage(kArchiveUnattendedExtract);
  }
  StartEngineRun();
  unpack_busy_ = true;
  bool acquired = false;
  try {
    std::int32_t version = unpack_engine_->Acquire();
    acquired = true;
    UnpackCommand command;
    BuildUnpackCommand(version, password_requests, command);
    success_count_ = unpack_engine_->Exec(command.record);
  } catch (const EArchiveError& e) {
    ShowEngineRunError(e);
    success_count_ = 0;
  } catch (const std::exception&) {
    ShowArchiveMessage(kArchiveFatalUnz);
    success_count_ = 0;
  }
  if (acquired) unpack_engine_->Release();
  cancel_ = false;
  unpack_busy_ = false;
  return ErrCode();
}

bool TArchiveWorker::ReadyToAdd(AddOpts& options, std::vector<std::string>& lines) {
  if (lines.empty()) {
    if (!options.Contains(AddOptsEnum::AddFreshen) && !options.Contains(AddOptsEnum::AddUpdate)) {
      ShowArchiveMessage(kArchiveNothingToZip);
      return false;
    }
    options.Exclude(AddOptsEnum::AddUpdate).Include(AddOptsEnum::AddFreshen);
    lines.push_back("*.*");
  }
  if (options.Contains(AddOptsEnum::AddDiskSpanErase)) {
    options.Include(AddOptsEnum::AddDiskSpan);
    settings_.SpanOptions.Include(SpanOptsEnum::spWipeFiles);
  }
  if (zip_file_name_.empty()) {
    ShowArchiveMessage(kArchiveNoZipSpecified);
    return false;
  }
  if (Unattended() && options.Contains(AddOptsEnum::AddEncrypt) && settings_.Password.empty()) {
    ShowArchiveMessage(kArchiveUnattendedNoPassword);
    return false;
  }
  return !pack_busy_;
}

int TArchiveWorker::Add() {
  PatternListsEmptier emptier(fspec_args_, &fspec_args_excl_);
  success_count_ = 0;
  AddOpts options = settings_.AddOptions;
  std::vector<std::string> lines = fspec_args_;
  if (!ReadyToAdd(options, lines)) return ErrCode();

  ClearError();
  StartEngineRun();
  bool acquired = false;
  bool cursor = false;
  try {
    pack_engine_->Acquire();
    acquired = true;
    pack_busy_ = true;
    StartWaitCursor();
    cursor = true;
    PackCommand command;
    BuildPackCommand(options, lines, command);
    success_count_ = pack_engine_->Exec(command.record);
  } catch (const EArchiveError& e) {
    ShowEngineRunError(e);
    success_count_ = 0;
  } catch (const std::exception&) {
    ShowArchiveMessage(kArchiveFatalZip);
    success_count_ = 0;
  }
  if (cursor) StopWaitCursor();
  if (acquired) pack_engine_->Release();
  cancel_ = false;
  pack_busy_ = false;
  if (success_count_ > 0) ReadAfterAdd();
  return ErrCode();
}

void TArchiveWorker::ReadAfterAdd() {
  int err = ErrCode();
  std::string message = Message();
  List();
  // The new directory's reading must not hide what the engine reported.
  if (ErrCode() == 0 && err != 0) SetErrorState(err, message);
}

}  // namespace korvel

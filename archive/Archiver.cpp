// TCustomArchiver: properties and the operation envelope around the worker.
#include "archive/Archiver.h"

#include <algorithm>

#include "archive/ArchiveWorker.h"
#include "platform/Files.h"

namespace korvel {

TCustomArchiver::TCustomArchiver() : worker_(std::make_unique<TArchiveWorker>()) {}

TCustomArchiver::~TCustomArchiver() {
  worker_->SetActive(false);
}

void TCustomArchiver::StartOperation() {
  busy_ = true;
  worker_->SetEvents(*this);  // the events as they are now, for this operation

  TArchiveSettings& s = worker_->Settings();
  s.AddCompLevel = add_comp_level_;
  s.AddFrom = add_from_;
  s.AddOptions = add_options_;
  s.AddStoreSuffixes = add_store_suffixes_;
  s.ExtAddStoreSuffixes = NormalizeStoreSuffixes(ext_add_store_suffixes_);
  if (s.ExtAddStoreSuffixes.empty())
    s.AddStoreSuffixes.Exclude(AddStoreSuffixEnum::assEXT);
  else
    s.AddStoreSuffixes.Include(AddStoreSuffixEnum::assEXT);
  s.CodePage = code_page_;
  s.ExtrBaseDir = extr_base_dir_;
  s.ExtrOptions = extr_options_;
  s.HowToDelete = how_to_delete_;
  s.Password = password_;
  s.PasswordReqCount = password_req_count_;
  s.ReferenceZip = reference_zip_;
  s.RootDir = root_dir_;
  s.TempDir = temp_dir_;
  s.UseDirOnlyEntries = use_dir_only_entries_;
  s.SpanOptions = span_options_;
  s.MaxVolumeSize = max_volume_size_;
  s.MinFreeVolumeSize = min_free_volume_size_;
  s.KeepFreeOnDisk1 = keep_free_on_disk1_;
  s.KeepFreeOnAllDisks = keep_free_on_all_disks_;
  s.ConfirmErase = confirm_erase_;
  worker_->SetUnattended(unattended_);
  worker_->SetVerbose(verbose_);
  worker_->SetTrace(trace_);
  worker_->SetDLLDirectory(dll_directory_);
  worker_->FSpecArgs() = fspec_args_;
  worker_->FSpecArgsExcl() = fspec_args_excl_;
  SetArchiveStrHook(OnZipStr);
  worker_->SetBusy(true);
  worker_->SetReEntry(false);
  worker_->SetOnMainThread(OnZipMainThread());
}

void TCustomArchiver::FinishOperation() {
  worker_->SetBusy(false);
  busy_ = false;
  re_entry_ = worker_->ReEntry();
  fspec_args_ = worker_->FSpecArgs();
  fspec_args_excl_ = worker_->FSpecArgsExcl();
  // The hook may refer to this component; nobody needs it between operations.
  SetArchiveStrHook({});
}

template <typename Body>
bool TCustomArchiver::Run(Body&& body) {
  if (busy_) {
    re_entry_ = true;
    worker_->SetReEntry(true);
    worker_->VerboseNote("Re-entry");
    return false;
  }
  StartOperation();
  try {
    body();
  } catch (...) {
    FinishOperation();
    throw;
  }
  FinishOperation();
  return true;
}

int TCustomArchiver::Extract() {
  int result = kArchiveNotPermitted;
  if (!active_) return result;
  Run([&] { result = worker_->Extract(); });
  return result;
}

int TCustomArchiver::Add() {
  int result = kArchiveNotPermitted;
  if (!active_) return result;
  Run([&] { result = worker_->Add(); });
  return result;
}

int TCustomArchiver::LoadUnzEngine(bool quiet) {
  int result = kArchiveNotPermitted;
  if (!active_) return result;
  Run([&] { result = worker_->UnpackEngine().LoadLib(quiet); });
  return result;
}

int TCustomArchiver::LoadZipEngine(bool quiet) {
  int result = kArchiveNotPermitted;
  if (!active_) return result;
  Run([&] { result = worker_->PackEngine().LoadLib(quiet); });
  return result;
}

void TCustomArchiver::UnloadUnzEngine() {
  if (active_) Run([&] { worker_->UnpackEngine().UnloadLib(); });
}

void TCustomArchiver::UnloadZipEngine() {
  if (active_) Run([&] { worker_->PackEngine().UnloadLib(); });
}

void TCustomArchiver::SetActive(bool active) {
  active_ = active;
  if (!active) {
    worker_->SetActive(false);
    return;
  }
  // Becoming active runs a directory reading that waited.
  Run([&] { worker_->SetActive(true); });
}

void TCustomArchiver::SetDLLDirectory(std::string dir) {
  while (dir.size() > 1 && dir.back() == platform::kPathSeparator) dir.pop_back();
  dll_directory_ = std::move(dir);
}

void TCustomArchiver::SetPasswordReqCount(std::uint32_t count) {
  password_req_count_ = std::min<std::uint32_t>(count, 15);
}

std::string TCustomArchiver::ZipFileName() const {
  return worker_->ZipFileName();
}

void TCustomArchiver::SetZipFileName(std::string name) {
  Run([&] {
    worker_->SetZipFileName(std::move(name));
    worker_->List();
  });
}

int TCustomArchiver::ErrCode() const {
  return worker_->ErrCode();
}
std::string TCustomArchiver::Message() const {
  return worker_->Message();
}
int TCustomArchiver::Count() const {
  return worker_->Count();
}
const ZipDirEntry& TCustomArchiver::DirEntry(int index) const {
  return worker_->ZipContents().at(static_cast<std::size_t>(index));
}
const std::vector<ZipDirEntry>& TCustomArchiver::ZipContents() const {
  return worker_->ZipContents();
}
std::string TCustomArchiver::ZipComment() const {
  return worker_->ZipComment();
}
int TCustomArchiver::SuccessCnt() const {
  return worker_->SuccessCnt();
}
std::int64_t TCustomArchiver::SFXOffset() const {
  return worker_->SFXOffset();
}
std::int64_t TCustomArchiver::CentralDirOffset() const {
  return worker_->CentralDirOffset();
}
std::int64_t TCustomArchiver::ZipEffectiveSize() const {
  return worker_->ZipEffectiveSize();
}
int TCustomArchiver::DirOnlyCount() const {
  return worker_->DirOnlyCount();
}
bool TCustomArchiver::IsSpanned() const {
  return worker_->IsSpanned();
}
void TCustomArchiver::SetCancel(bool cancel) {
  worker_->SetCancel(cancel);
}
bool TCustomArchiver::Cancel() const {
  return worker_->Cancel();
}
int TCustomArchiver::UnpackVersion() const {
  return worker_->UnpackEngine().Version();
}
int TCustomArchiver::PackVersion() const {
  return worker_->PackEngine().Version();
}

}  // namespace korvel

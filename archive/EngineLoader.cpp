// Engine library loading: path, entry points, version range, holds and result mapping.
#include "archive/EngineLoader.h"

#include "archive/ArchiveBase.h"
#include "archive/ArchiveMessages.h"
#include "platform/DynamicLibrary.h"
#include "platform/Files.h"

namespace korvel {

int EngineResultIdent(int result) {
  switch (result) {
    case kEngineExecAborted:
    case kEngineExecFatal:
      return kEngineResultAbort;
    case kEngineExecBusy:
      return kEngineResultBusy;
    case kEngineExecCancelled:
      return kEngineResultCancelled;
    case kEngineExecNoMemory:
      return kEngineResultNoMemory;
    case kEngineExecBadRecord:
      return kEngineResultBadStructure;
    case kEngineExecHandler:
      return kEngineResultHandlerException;
    default:
      return kEngineResultCritical;
  }
}

TEngineLoader::TEngineLoader(TArchiveBase& owner, bool for_packing)
    : owner_(owner), for_packing_(for_packing) {}

TEngineLoader::~TEngineLoader() = default;

int TEngineLoader::Holds() const {
  return int{explicit_hold_} + int{operation_hold_} + int{exec_hold_};
}

std::string TEngineLoader::LibraryPath() const {
  const char* name = for_packing_ ? kPackEngineName : kUnpackEngineName;
  const std::string& dir = owner_.DLLDirectory();
  if (!dir.empty()) {
    std::string folder =
        dir[0] == '.' ? platform::JoinPath(platform::ExecutableDirectory(), dir) : dir;
    std::string candidate = platform::JoinPath(folder, name);
    if (platform::FileExists(candidate)) return candidate;
  }
  return name;
}

void TEngineLoader::Load(int min_version) {
  if (library_ == nullptr) {
    std::string path = LibraryPath();
    library_ = platform::DynamicLibrary::Load(path);
    if (library_ == nullptr) throw EArchiveError(kArchiveLoadFailed, path);
    exec_ = library_->Symbol(for_packing_ ? KORVEL_PACK_EXEC_NAME : KORVEL_UNPACK_EXEC_NAME);
    void* version =
        library_->Symbol(for_packing_ ? KORVEL_PACK_VERSION_NAME : KORVEL_UNPACK_VERSION_NAME);
    void* priv = library_->Symbol(for_packing_ ? KORVEL_PACK_PRIV_VERSION_NAME
                                               : KORVEL_UNPACK_PRIV_VERSION_NAME);
    module_path_ = library_->ModulePath();
    owner_.VerboseNote("Loaded " + module_path_);
    // Both engines' version entry points share one signature.
    version_ = version != nullptr ? reinterpret_cast<GetPackVersionFn>(version)() : 0;
    priv_version_ = priv != nullptr ? reinterpret_cast<GetPackPrivVersionFn>(priv)() : 0;
    if (exec_ == nullptr || version == nullptr || version_ < kEngineMinLoadVersion ||
        version_ > kEngineMaxLoadVersion) {
      std::string name = module_path_;
      Free();
      throw EArchiveError(kArchiveLibOldOrCorrupt, name);
    }
  }
  if (version_ < min_version) {
    std::string name = module_path_;
    if (Holds() == 0) Free();
    throw EArchiveError(kArchiveLibOldOrCorrupt, name);
  }
}

void TEngineLoader::Free() {
  if (library_ == nullptr) return;
  std::string name = module_path_;
  library_.reset();
  exec_ = nullptr;
  version_ = priv_version_ = 0;
  module_path_.clear();
  explicit_hold_ = operation_hold_ = exec_hold_ = false;
  owner_.VerboseNote("Unloaded " + name);
}

void TEngineLoader::DropHold(bool& hold) {
  if (!hold) return;
  hold = false;
  if (Holds() == 0) Free();
}

int TEngineLoader::LoadLib(bool quiet) {
  try {
    owner_.StartWaitCursor();
    Load(kEngineMinOperationVersion);
    explicit_hold_ = true;
    owner_.StopWaitCursor();
    return version_;
  } catch (const EArchiveError& e) {
    owner_.StopWaitCursor();
    owner_.ShowExceptionError(quiet ? EArchiveError::WithText(e.Ident(), e.Message(), false) : e);
    return 0;
  }
}

void TEngineLoader::UnloadLib() {
  DropHold(explicit_hold_);
}

int TEngineLoader::Acquire() {
  Load(kEngineMinOperationVersion);
  operation_hold_ = true;
  return version_;
}

void TEngineLoader::Release() {
  DropHold(operation_hold_);
}

std::int32_t TEngineLoader::CallExec(void* record) {
  if (exec_ == nullptr) throw EArchiveError(kArchiveLoadFailed, LibraryPath());
  exec_hold_ = true;
  std::int32_t result =
      for_packing_
          ? reinterpret_cast<PackExecFn>(exec_)(static_cast<PackCommandRecord*>(record))
          : reinterpret_cast<UnpackExecFn>(exec_)(static_cast<UnpackCommandRecord*>(record));
  DropHold(exec_hold_);
  if (result < 0) {
    int ident = EngineResultIdent(result);
    if (ident == kEngineResultCritical)
      throw EArchiveError(kEngineResultCritical, std::to_string(result));
    throw EArchiveError(ident);
  }
  return result;
}

}  // namespace korvel

// Engine library loading: path, entry points, version range, holds and result mapping.
#include "archive/ZipLdr.h"

#include "archive/ZipBase.h"
#include "archive/ZipMsg.h"
#include "platform/DynamicLibrary.h"
#include "platform/Files.h"

namespace korvel {

int EngineResultIdent(int result) {
  switch (result) {
    case kZipExecAborted:
    case kZipExecFatal:
      return kZipDllAbort;
    case kZipExecBusy:
      return kZipDllBusy;
    case kZipExecCancelled:
      return kZipDllCancelled;
    case kZipExecNoMemory:
      return kZipDllNoMemory;
    case kZipExecBadRecord:
      return kZipDllBadStructure;
    case kZipExecHandler:
      return kZipDllHandlerException;
    default:
      return kZipDllCritical;
  }
}

TZipLibLoader::TZipLibLoader(TZipBase& owner, bool for_zip) : owner_(owner), for_zip_(for_zip) {}

TZipLibLoader::~TZipLibLoader() = default;

int TZipLibLoader::Holds() const {
  return int{explicit_hold_} + int{operation_hold_} + int{exec_hold_};
}

std::string TZipLibLoader::LibraryPath() const {
  const char* name = for_zip_ ? kZipDllName : kUnzDllName;
  const std::string& dir = owner_.DLLDirectory();
  if (!dir.empty()) {
    std::string folder =
        dir[0] == '.' ? platform::JoinPath(platform::ExecutableDirectory(), dir) : dir;
    std::string candidate = platform::JoinPath(folder, name);
    if (platform::FileExists(candidate)) return candidate;
  }
  return name;
}

void TZipLibLoader::Load(int min_version) {
  if (library_ == nullptr) {
    std::string path = LibraryPath();
    library_ = platform::DynamicLibrary::Load(path);
    if (library_ == nullptr) throw EZipMaster(kZipLoadFailed, path);
    exec_ = library_->Symbol(for_zip_ ? KORVEL_ZIP_EXEC_NAME : KORVEL_UNZ_EXEC_NAME);
    void* version = library_->Symbol(for_zip_ ? KORVEL_ZIP_VERSION_NAME : KORVEL_UNZ_VERSION_NAME);
    void* priv =
        library_->Symbol(for_zip_ ? KORVEL_ZIP_PRIV_VERSION_NAME : KORVEL_UNZ_PRIV_VERSION_NAME);
    module_path_ = library_->ModulePath();
    owner_.VerboseNote("Loaded " + module_path_);
    // Both engines' version entry points share one signature.
    version_ = version != nullptr ? reinterpret_cast<GetZipDllVersionFn>(version)() : 0;
    priv_version_ = priv != nullptr ? reinterpret_cast<GetZipDllPrivVersionFn>(priv)() : 0;
    if (exec_ == nullptr || version == nullptr || version_ < kEngineMinLoadVersion ||
        version_ > kEngineMaxLoadVersion) {
      std::string name = module_path_;
      Free();
      throw EZipMaster(kZipLibOldOrCorrupt, name);
    }
  }
  if (version_ < min_version) {
    std::string name = module_path_;
    if (Holds() == 0) Free();
    throw EZipMaster(kZipLibOldOrCorrupt, name);
  }
}

void TZipLibLoader::Free() {
  if (library_ == nullptr) return;
  std::string name = module_path_;
  library_.reset();
  exec_ = nullptr;
  version_ = priv_version_ = 0;
  module_path_.clear();
  explicit_hold_ = operation_hold_ = exec_hold_ = false;
  owner_.VerboseNote("Unloaded " + name);
}

void TZipLibLoader::DropHold(bool& hold) {
  if (!hold) return;
  hold = false;
  if (Holds() == 0) Free();
}

int TZipLibLoader::LoadLib(bool quiet) {
  try {
    owner_.StartWaitCursor();
    Load(kEngineMinOperationVersion);
    explicit_hold_ = true;
    owner_.StopWaitCursor();
    return version_;
  } catch (const EZipMaster& e) {
    owner_.StopWaitCursor();
    owner_.ShowExceptionError(quiet ? EZipMaster::WithText(e.Ident(), e.Message(), false) : e);
    return 0;
  }
}

void TZipLibLoader::UnloadLib() {
  DropHold(explicit_hold_);
}

int TZipLibLoader::Acquire() {
  Load(kEngineMinOperationVersion);
  operation_hold_ = true;
  return version_;
}

void TZipLibLoader::Release() {
  DropHold(operation_hold_);
}

std::int32_t TZipLibLoader::CallExec(void* record) {
  if (exec_ == nullptr) throw EZipMaster(kZipLoadFailed, LibraryPath());
  exec_hold_ = true;
  std::int32_t result =
      for_zip_ ? reinterpret_cast<ZipDllExecFn>(exec_)(static_cast<ZipCommandRecord*>(record))
               : reinterpret_cast<UnzDllExecFn>(exec_)(static_cast<UnzCommandRecord*>(record));
  DropHold(exec_hold_);
  if (result < 0) {
    int ident = EngineResultIdent(result);
    if (ident == kZipDllCritical) throw EZipMaster(kZipDllCritical, std::to_string(result));
    throw EZipMaster(ident);
  }
  return result;
}

}  // namespace korvel

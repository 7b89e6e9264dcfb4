// TEngineLoader, TPackEngine and TUnpackEngine: loading the packing and unpacking engine libraries,
// their entry points, the version check and the holds that keep a library loaded.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "archive/EngineRecords.h"

namespace korvel {

namespace platform {
class DynamicLibrary;
}

class TArchiveBase;

// Bare file names of the engines; the platform's library search finds them beside the program.
#ifdef _WIN32
inline constexpr const char* kPackEngineName = "PACKENG.DLL";
inline constexpr const char* kUnpackEngineName = "UNPKENG.DLL";
#else
inline constexpr const char* kPackEngineName = "libpackeng.so";
inline constexpr const char* kUnpackEngineName = "libunpkeng.so";
#endif

// Versions a library may report to be loaded at all, and the least one any operation needs.
inline constexpr int kEngineMinLoadVersion = 153;
inline constexpr int kEngineMaxLoadVersion = 300;
inline constexpr int kEngineMinOperationVersion = 200;

// The message identifier for a negative engine result (10118 to 10124).
int EngineResultIdent(int result);

// One engine library. It stays loaded while it carries any of three holds: the explicit one
// (LoadLib until UnloadLib), the running operation's (Acquire until Release) and the exec call's.
// Failures are reported through the owner's paths as 10650 and 10651.
class TEngineLoader {
 public:
  TEngineLoader(TArchiveBase& owner, bool for_packing);
  virtual ~TEngineLoader();
  TEngineLoader(const TEngineLoader&) = delete;
  TEngineLoader& operator=(const TEngineLoader&) = delete;

  // Takes the explicit hold. Returns the version (200 or above), or 0 when the library cannot be
  // used; `quiet` reports the failure without a box.
  int LoadLib(bool quiet);
  // Drops the explicit hold.
  void UnloadLib();

  // Takes the operation's hold; raises EArchiveError (10650, 10651) when the library is unusable.
  // Returns the version.
  int Acquire();
  // Drops the operation's hold.
  void Release();

  bool Loaded() const { return library_ != nullptr; }
  int Holds() const;
  int Version() const { return version_; }
  int PrivVersion() const { return priv_version_; }
  // The loaded module's path, which names the library in messages.
  const std::string& ModulePath() const { return module_path_; }
  // The name the next load would use: the bare name, or the file in DLLDirectory when it exists.
  std::string LibraryPath() const;

 protected:
  // The exec entry point, called under the exec hold; negative results raise EArchiveError.
  std::int32_t CallExec(void* record);

 private:
  // Loads the library when needed and checks it for `min_version`; raises EArchiveError.
  void Load(int min_version);
  void Free();
  void DropHold(bool& hold);

  TArchiveBase& owner_;
  bool for_packing_;
  std::unique_ptr<platform::DynamicLibrary> library_;
  void* exec_ = nullptr;
  int version_ = 0;
  int priv_version_ = 0;
  std::string module_path_;
  bool explicit_hold_ = false;
  bool operation_hold_ = false;
  bool exec_hold_ = false;
};

// The packing engine.
class TPackEngine : public TEngineLoader {
 public:
  explicit TPackEngine(TArchiveBase& owner) : TEngineLoader(owner, true) {}
  // Runs one packing; the number of files packed.
  std::int32_t Exec(PackCommandRecord& record) { return CallExec(&record); }
};

// The unpacking engine.
class TUnpackEngine : public TEngineLoader {
 public:
  explicit TUnpackEngine(TArchiveBase& owner) : TEngineLoader(owner, false) {}
  // Runs one unpacking; the number of files unpacked.
  std::int32_t Exec(UnpackCommandRecord& record) { return CallExec(&record); }
};

}  // namespace korvel

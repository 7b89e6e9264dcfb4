// The packing engine's entry points: builds or updates a zip archive from the files a command
// record selects, writing a temporary file beside the archive that replaces it only when complete.
#include <atomic>
#include <new>
#include <type_traits>

#include "archive/EngineRecords.h"
#include "engines/common/EngineCommon.h"
#include "engines/packeng/PackRun.h"

namespace {

std::atomic<bool> g_packing{false};

}  // namespace

extern "C" {

KORVEL_ENGINE_EXPORT int32_t KORVEL_RECORD_CALL PackExec(PackCommandRecord* record) {
  using namespace korvel::engine;
  if (record == nullptr) return kEngineExecBadRecord;
  CallbackChannel channel(record->Callback, record->Caller, true);
  if (record->RecordMark != KORVEL_RECORD_RECORD_MARK || record->Version < KORVEL_ENGINE_VERSION) {
    channel.Message(kEngineErrorParameter, "Unknown command record");
    return kEngineExecBadRecord;
  }
  RunGuard guard(g_packing);
  if (!guard.Owned()) return kEngineExecBusy;
  try {
    return PackRun(*record, channel).Run();
  } catch (const std::bad_alloc&) {
    channel.Message(kEngineErrorMemory, "Out of memory");
    return kEngineExecNoMemory;
  } catch (const std::exception& error) {
    channel.Message(kEngineErrorSevere, std::string("Packing failed: ") + error.what());
    return kEngineExecFatal;
  } catch (...) {
    channel.Message(kEngineErrorSevere, "Packing failed");
    return kEngineExecFatal;
  }
}

KORVEL_ENGINE_EXPORT int32_t KORVEL_RECORD_CALL GetPackVersion(void) {
  return korvel::engine::kEngineVersion;
}

KORVEL_ENGINE_EXPORT int32_t KORVEL_RECORD_CALL GetPackPrivVersion(void) {
  return korvel::engine::kEnginePrivVersion;
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&PackExec), PackExecFn>);
static_assert(std::is_same_v<decltype(&GetPackVersion), GetPackVersionFn>);
static_assert(std::is_same_v<decltype(&GetPackPrivVersion), GetPackPrivVersionFn>);

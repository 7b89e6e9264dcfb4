// The unpacking engine's entry points: writes or tests the entries a command record selects.
#include <atomic>
#include <new>
#include <type_traits>

#include "archive/EngineRecords.h"
#include "engines/common/EngineCommon.h"
#include "engines/unpkeng/Unpacker.h"

namespace {

std::atomic<bool> g_unpacking{false};

}  // namespace

extern "C" {

KORVEL_ENGINE_EXPORT int32_t KORVEL_RECORD_CALL UnpackExec(UnpackCommandRecord* record) {
  using namespace korvel::engine;
  if (record == nullptr) return kEngineExecBadRecord;
  CallbackChannel channel(record->Callback, record->Caller, false);
  if (record->RecordMark != KORVEL_RECORD_RECORD_MARK) {
    channel.Message(kEngineErrorParameter, "Unknown command record");
    return kEngineExecBadRecord;
  }
  RunGuard guard(g_unpacking);
  if (!guard.Owned()) return kEngineExecBusy;
  try {
    Unpacker unpacker(*record, channel);
    return unpacker.Run();
  } catch (const std::bad_alloc&) {
    channel.Message(kEngineErrorMemory, "Out of memory");
    return kEngineExecNoMemory;
  } catch (const std::exception& error) {
    channel.Message(kEngineErrorSevere, std::string("Unpacking failed: ") + error.what());
    return kEngineExecFatal;
  } catch (...) {
    channel.Message(kEngineErrorSevere, "Unpacking failed");
    return kEngineExecFatal;
  }
}

KORVEL_ENGINE_EXPORT int32_t KORVEL_RECORD_CALL GetUnpackVersion(void) {
  return korvel::engine::kEngineVersion;
}

KORVEL_ENGINE_EXPORT int32_t KORVEL_RECORD_CALL GetUnpackPrivVersion(void) {
  return korvel::engine::kEnginePrivVersion;
}

}  // extern "C"

static_assert(std::is_same_v<decltype(&UnpackExec), UnpackExecFn>);
static_assert(std::is_same_v<decltype(&GetUnpackVersion), GetUnpackVersionFn>);
static_assert(std::is_same_v<decltype(&GetUnpackPrivVersion), GetUnpackPrivVersionFn>);

// One packing run, step by step: the record checked, the files collected, the plan made, the
// archive written to a temporary beside the target and put in its place, then the record's
// after-steps (the archive's time, moving the files). Every step that ends the run early has sent
// its message through the channel already.
#pragma once

#include <sys/stat.h>

#include <cstdint>
#include <ctime>
#include <string>
#include <vector>

#include "archive/EngineRecords.h"
#include "engines/common/EngineCommon.h"
#include "engines/common/ZipReading.h"
#include "engines/packeng/FileCollector.h"
#include "engines/packeng/PackPlan.h"
#include "engines/packeng/ReferenceArchive.h"
#include "engines/packeng/TempArchive.h"
#include "engines/packeng/ZipWriter.h"

namespace korvel::engine {

class PackRun {
 public:
  PackRun(const PackCommandRecord& record, CallbackChannel& channel)
      : record_(record), channel_(channel) {}

  // The number of files and folders added, or an error result.
  std::int32_t Run();

 private:
  // A run ends early with this result; the message has been sent already.
  struct RunFailure {
    std::int32_t result;
  };
  // The archive as it was before the run.
  struct OldArchive {
    bool exists = false;
    struct stat st {};
    ZipArchivePtr archive;  // open when the file holds anything
  };

  [[noreturn]] void Fail(std::int32_t code, const std::string& message, std::int32_t result,
                         int system_error = 0);
  // Fail for a system call that failed with `error` (errno).
  [[noreturn]] void FailWith(int error, const std::string& what);
  void CheckRecord();
  CollectOptions MakeCollectOptions();
  // The archive as it is now: updated in place when it holds entries, never packed into itself.
  void OpenOldArchive(CollectOptions& options);
  // Tells the caller how much is to be packed; a plan with nothing new ends the run here.
  void AnnounceTotals(const std::vector<PlanItem>& plan, bool nothing_selected);
  void WriteArchive(const std::vector<PlanItem>& plan, int fd);
  // Copies an old entry: raw when stored or deflated, else expanded and deflated again, which
  // every reader understands.
  void KeepEntry(ZipWriter& writer, const PlanItem& step, int level);
  // A file that cannot be read is left out with a message; the run goes on.
  void AddFile(ZipWriter& writer, const SourceItem& item, bool store_only, int level);
  // The record's comment, else the old archive's.
  std::string ArchiveComment() const;
  void Commit(TempArchive& temp);
  // The archive's time and the moved files, only now that the archive is in place.
  void AfterCommit();

  const PackCommandRecord& record_;
  CallbackChannel& channel_;
  std::string archive_path_;
  OldArchive old_;
  ReferenceArchive reference_;
  std::int32_t added_ = 0;
  std::vector<const SourceItem*> written_;
  std::time_t newest_ = 0;
};

}  // namespace korvel::engine

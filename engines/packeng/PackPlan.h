// What goes into the new archive, in order: the old archive's entries kept or replaced, and the
// selected files and folders it does not hold yet.
#pragma once

#include <zip.h>

#include <string>
#include <vector>

#include "engines/packeng/FileCollector.h"

namespace korvel::engine {

struct PlanItem {
  enum class Kind { kKeep, kFile, kDir } kind;
  zip_uint64_t index = 0;            // kKeep: entry of the old archive
  const SourceItem* item = nullptr;  // kFile, kDir
  std::string name;
};

// Old entries keep their places (a selected file takes its entry's place), new ones follow; the
// manifest's folder and the manifest go first, which JAR readers of old handsets expect.
// `old_archive` may be null (no archive yet). With `update`, or with `freshen` (only files the
// archive holds), a file replaces its entry only when it is newer; `freshen` adds nothing new.
// The plan points into `items`.
std::vector<PlanItem> MakePlan(zip_t* old_archive, const std::vector<SourceItem>& items,
                               bool update, bool freshen);

}  // namespace korvel::engine

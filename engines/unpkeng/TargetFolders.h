// The folders below an unpacking run's base folder that its entries go into: made as needed, and
// refused when a part of the path is a link (which could lead outside the base) or a file.
#pragma once

#include <set>
#include <string>

#include "engines/common/EngineCommon.h"

namespace korvel::engine {

class TargetFolders {
 public:
  // `base` is read at every call (the run learns it from its record after making this).
  TargetFolders(const std::string& base, CallbackChannel& channel)
      : base_(base), channel_(channel) {}

  // Makes the "/"-separated folders of `rel` below the base; false (with a message naming
  // `entry_name` when refused) when it cannot.
  bool Make(const std::string& rel, const std::string& entry_name);

 private:
  const std::string& base_;
  CallbackChannel& channel_;
  // Folders below the base made or found to be real folders during this run.
  std::set<std::string> known_;
};

}  // namespace korvel::engine

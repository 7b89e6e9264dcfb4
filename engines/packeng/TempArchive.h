// The file a packing run writes: a temporary beside the target, which replaces the target only
// when complete and durable, and is removed otherwise.
#pragma once

#include <string>

#include "engines/common/EngineCommon.h"

namespace korvel::engine {

class TempArchive {
 public:
  // Creates the temporary; Valid() tells whether that worked (errno says why not).
  explicit TempArchive(const std::string& target);
  // Removes the temporary unless Commit() renamed it into place.
  ~TempArchive();
  TempArchive(const TempArchive&) = delete;
  TempArchive& operator=(const TempArchive&) = delete;

  bool Valid() const { return fd_.Valid(); }
  int Fd() const { return fd_.Get(); }
  const std::string& Path() const { return path_; }

  // Gives the file `mode`, makes its data durable and puts it in the target's place. False with
  // errno set.
  bool Commit(unsigned mode);

 private:
  std::string target_;
  std::string path_;
  UniqueFd fd_;
};

}  // namespace korvel::engine

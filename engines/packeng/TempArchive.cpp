// The temporary archive: mkostemp beside the target, fsync and rename to commit.
#include "engines/packeng/TempArchive.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>

namespace korvel::engine {

TempArchive::TempArchive(const std::string& target) : target_(target) {
  std::string pattern = target + ".XXXXXX";
  fd_ = UniqueFd(::mkostemp(pattern.data(), O_CLOEXEC));
  if (!fd_.Valid()) return;
  path_ = pattern;
}

TempArchive::~TempArchive() {
  fd_.Reset();
  if (!path_.empty()) ::unlink(path_.c_str());
}

bool TempArchive::Commit(unsigned mode) {
  if (::fchmod(fd_.Get(), mode) != 0 || ::fsync(fd_.Get()) != 0 || !fd_.Close()) return false;
  if (::rename(path_.c_str(), target_.c_str()) != 0) return false;
  path_.clear();
  return true;
}

}  // namespace korvel::engine

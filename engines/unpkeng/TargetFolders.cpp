// Making the target folders with mkdir, each part checked with lstat when it is there already.
#include "engines/unpkeng/TargetFolders.h"

#include <sys/stat.h>

#include <cerrno>

namespace korvel::engine {

bool TargetFolders::Make(const std::string& rel, const std::string& entry_name) {
  if (rel.empty() || known_.count(rel) > 0) return true;
  std::string path = base_;
  std::string folder;
  for (const std::string& part : SplitList(rel, "/")) {
    path += '/' + part;
    folder += (folder.empty() ? "" : "/") + part;
    if (known_.count(folder) > 0) continue;
    if (::mkdir(path.c_str(), 0777) != 0) {
      const int err = errno;
      struct stat st {};
      if (::lstat(path.c_str(), &st) != 0) {
        channel_.Message(kEngineErrorWrite, "Cannot create folder " + path + ": " + ErrnoText(err),
                         err);
        return false;
      }
      if (S_ISLNK(st.st_mode)) {
        channel_.Message(kEngineErrorUnsafeName,
                         "Refused " + entry_name + ": its path leads through the link " + path, 0,
                         &entry_name);
        return false;
      }
      if (!S_ISDIR(st.st_mode)) {
        channel_.Message(kEngineErrorWrite,
                         "Cannot create folder " + path + ": a file is in the way");
        return false;
      }
    }
    known_.insert(folder);
  }
  return true;
}

}  // namespace korvel::engine

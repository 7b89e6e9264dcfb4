// Output files created with O_EXCL and O_NOFOLLOW, so that nothing there already is written
// through.
#include "engines/unpkeng/OutputFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

namespace korvel::engine {

OutputFile::~OutputFile() {
  if (!path_.empty()) ::unlink(path_.c_str());
}

void OutputFile::Fail(int err) {
  channel_.Message(kEngineErrorWrite, "Cannot write " + target_ + ": " + ErrnoText(err), err);
}

bool OutputFile::Create(const std::string& target, const std::string& folder, bool exists,
                        std::mt19937& random) {
  constexpr int kCreate = O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC;
  target_ = target;
  if (!exists) {
    fd_ = UniqueFd(::open(target.c_str(), kCreate, 0666));
    if (fd_.Valid()) path_ = target;
  }
  std::string temp;
  for (int attempt = 0; attempt < 100 && !fd_.Valid(); ++attempt) {
    temp = folder + "/.kz" + std::to_string(random()) + ".tmp";
    fd_ = UniqueFd(::open(temp.c_str(), kCreate, 0666));
    if (fd_.Valid()) path_ = temp;
    if (!fd_.Valid() && errno != EEXIST) break;
  }
  if (!fd_.Valid()) {
    const int err = errno;
    channel_.Message(kEngineErrorWrite, "Cannot create " + target + ": " + ErrnoText(err), err);
    return false;
  }
  return true;
}

bool OutputFile::Write(const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t written = ::write(fd_.Get(), data, size);
    if (written < 0 && errno == EINTR) continue;
    if (written < 0) {
      Fail(errno);
      return false;
    }
    data += written;
    size -= static_cast<std::size_t>(written);
  }
  return true;
}

bool OutputFile::Commit(std::time_t mtime) {
  const timespec times[2] = {{mtime, 0}, {mtime, 0}};
  ::futimens(fd_.Get(), times);
  if (!fd_.Close() || (path_ != target_ && ::rename(path_.c_str(), target_.c_str()) != 0)) {
    Fail(errno);
    return false;
  }
  path_.clear();
  return true;
}

}  // namespace korvel::engine

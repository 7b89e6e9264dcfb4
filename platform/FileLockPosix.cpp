// File locks on POSIX: flock on a file of the program directory.
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "platform/FileLock.h"

namespace korvel::platform {

// Each holder opens the file anew, so two holders in one process exclude each other as well.
FileLock::FileLock(const std::string& path) {
  fd_ = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0666);
  if (fd_ >= 0 && ::flock(fd_, LOCK_EX | LOCK_NB) != 0) {
    ::close(fd_);
    fd_ = -1;
  }
}

FileLock::~FileLock() {
  if (fd_ >= 0) ::close(fd_);
}

}  // namespace korvel::platform

// An exclusive lock held through a file, shared by every process and window of the program.
#pragma once

#include <string>

namespace korvel::platform {

// Holds the lock from construction until destruction. The file itself is left in place; the lock
// goes with the holder, even when the process dies.
class FileLock {
 public:
  // Tries once, without waiting. Held() tells whether it succeeded.
  explicit FileLock(const std::string& path);
  ~FileLock();
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

  bool Held() const { return fd_ >= 0; }

 private:
  int fd_ = -1;
};

}  // namespace korvel::platform

// File and folder services on POSIX.
#include <dirent.h>
#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <vector>

#include "platform/AsciiText.h"
#include "platform/FileError.h"
#include "platform/Files.h"

namespace korvel::platform {

namespace {

// Writes all of `data` to `fd`, retrying short writes. False on failure (errno set).
bool WriteAll(int fd, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::write(fd, data.data(), data.size());
    if (n < 0) {
      if (errno == EINTR) continue;
      return false;
    }
    data.remove_prefix(static_cast<std::size_t>(n));
  }
  return true;
}

// The read-only attribute is the missing owner write bit. It is tested by hand because the
// system lets the super-user write anyway, and a read-only game file must stay untouched for
// every user.
bool IsReadOnly(const struct stat& st) {
  return (st.st_mode & S_IWUSR) == 0;
}

mode_t CurrentUmask() {
  const mode_t m = ::umask(0);
  ::umask(m);
  return m;
}

enum class KernelCopy { kDone, kFailed, kUnsupported };

// Copies the rest of `in` to `out` inside the kernel (file systems that share blocks then copy
// no data at all). kUnsupported when nothing was copied because these files do not allow it.
KernelCopy CopyInKernel(int in, int out) {
  bool copied = false;
  for (;;) {
    const ssize_t n = ::copy_file_range(in, nullptr, out, nullptr, std::size_t{1} << 30, 0);
    if (n > 0) {
      copied = true;
      continue;
    }
    if (n == 0) return KernelCopy::kDone;
    if (errno == EINTR) continue;
    const bool unsupported =
        errno == EXDEV || errno == ENOSYS || errno == EINVAL || errno == EOPNOTSUPP;
    return !copied && unsupported ? KernelCopy::kUnsupported : KernelCopy::kFailed;
  }
}

bool CopyByReading(int in, int out) {
  std::vector<char> buffer(1 << 16);
  for (;;) {
    const ssize_t n = ::read(in, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return n == 0;
    if (!WriteAll(out, std::string_view(buffer.data(), static_cast<std::size_t>(n)))) return false;
  }
}

}  // namespace

std::string FolderPart(const std::string& path) {
  const auto pos = path.rfind(kPathSeparator);
  if (pos == std::string::npos) return ".";
  if (pos == 0) return std::string(1, kPathSeparator);
  return path.substr(0, pos);
}

std::string AbsolutePath(const std::string& path) {
  if (!path.empty() && path.front() == kPathSeparator) return path;
  std::string relative = path;
  while (relative.rfind("./", 0) == 0) relative.erase(0, 2);
  return JoinPath(CurrentDirectory(), relative);
}

bool IsReadOnly(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && IsReadOnly(st);
}

bool WriteFileDurably(const std::string& path, std::string_view data) {
  const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data) && ::fsync(fd) == 0;
  int err = errno;
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    ::unlink(path.c_str());
    errno = err;
  }
  return ok;
}

bool SyncPath(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return false;
  const bool ok = ::fsync(fd) == 0;
  ::close(fd);
  return ok;
}

bool CopyPermissions(const std::string& from, const std::string& to) {
  struct stat st {};
  return ::stat(from.c_str(), &st) == 0 && ::chmod(to.c_str(), st.st_mode & 07777) == 0;
}

std::string JoinPath(std::string_view folder, std::string_view name) {
  std::string result(folder);
  if (!result.empty() && result.back() != kPathSeparator) result += kPathSeparator;
  while (!name.empty() && name.front() == kPathSeparator && !result.empty()) name.remove_prefix(1);
  result += name;
  return result;
}

std::string FileNamePart(std::string_view path) {
  const auto pos = path.rfind(kPathSeparator);
  return std::string(pos == std::string_view::npos ? path : path.substr(pos + 1));
}

bool FileExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode);
}

bool DirectoryExists(const std::string& path) {
  struct stat st {};
  return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::int64_t FileSizeOf(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return static_cast<std::int64_t>(st.st_size);
}

bool CopyFileNoOverwrite(const std::string& from, const std::string& to) {
  const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
  if (in < 0) return false;
  struct stat st {};
  if (::fstat(in, &st) != 0 || !S_ISREG(st.st_mode)) {
    ::close(in);
    return false;
  }
  // O_EXCL makes "already exists" a failure without a window for a race.
  const int out = ::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, st.st_mode & 07777);
  if (out < 0) {
    ::close(in);
    return false;
  }
  const KernelCopy kernel = CopyInKernel(in, out);
  bool ok =
      kernel == KernelCopy::kDone || (kernel == KernelCopy::kUnsupported && CopyByReading(in, out));
  ::close(in);
  if (::close(out) != 0) ok = false;
  if (ok) {
    // Keep the original's times, as a copy made by the system's copy service does.
    const struct timespec times[2] = {st.st_atim, st.st_mtim};
    ::utimensat(AT_FDCWD, to.c_str(), times, 0);
  } else {
    ::unlink(to.c_str());
  }
  return ok;
}

bool LinkFile(const std::string& from, const std::string& to) {
  struct stat st {};
  if (::stat(from.c_str(), &st) != 0) return false;
  if (!S_ISREG(st.st_mode)) {
    errno = EPERM;
    return false;
  }
  return ::linkat(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), AT_SYMLINK_FOLLOW) == 0;
}

bool RenameFile(const std::string& from, const std::string& to) {
  return ::renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0;
}

bool ReplaceFile(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0;
}

bool DeleteFile(const std::string& path) {
  return ::unlink(path.c_str()) == 0;  // a folder is refused (EISDIR), never removed
}

void CreateDirectory(const std::string& path) {
  if (::mkdir(path.c_str(), 0777) != 0) ThrowFileError("Cannot create folder", path, errno);
}

bool RemoveDirectory(const std::string& path) {
  return ::rmdir(path.c_str()) == 0;
}

bool RemoveTree(const std::string& path) {
  struct stat st {};
  if (::lstat(path.c_str(), &st) != 0) return errno == ENOENT;
  if (!S_ISDIR(st.st_mode)) return ::unlink(path.c_str()) == 0;
  if (DIR* dir = ::opendir(path.c_str())) {
    std::vector<std::string> names;
    while (struct dirent* d = ::readdir(dir)) {
      const std::string name = d->d_name;
      if (name != "." && name != "..") names.push_back(name);
    }
    ::closedir(dir);
    for (const auto& name : names) RemoveTree(JoinPath(path, name));
  }
  return ::rmdir(path.c_str()) == 0;
}

std::string CurrentDirectory() {
  std::vector<char> buffer(4096);
  while (::getcwd(buffer.data(), buffer.size()) == nullptr) {
    if (errno != ERANGE) return std::string();
    buffer.resize(buffer.size() * 2);
  }
  return std::string(buffer.data());
}

void SetCurrentDirectory(const std::string& path) {
  if (::chdir(path.c_str()) != 0) ThrowFileError("Cannot change to folder", path, errno);
}

std::string ExecutableDirectory() {
  std::vector<char> buffer(4096);
  for (;;) {
    const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size());
    if (n < 0) return CurrentDirectory();
    if (static_cast<std::size_t>(n) < buffer.size()) {
      return FolderPart(std::string(buffer.data(), static_cast<std::size_t>(n)));
    }
    buffer.resize(buffer.size() * 2);
  }
}

std::optional<std::string> ResolvePathIgnoringCase(const std::string& base,
                                                   std::string_view relative) {
  std::string current = base;
  while (!relative.empty()) {
    const auto sep = relative.find(kPathSeparator);
    const std::string_view part = relative.substr(0, sep);
    relative = sep == std::string_view::npos ? std::string_view() : relative.substr(sep + 1);
    if (part.empty() || part == ".") continue;

    std::string exact = JoinPath(current, part);
    struct stat st {};
    if (::lstat(exact.c_str(), &st) == 0) {
      current = std::move(exact);
      continue;
    }
    DIR* dir = ::opendir(current.c_str());
    if (dir == nullptr) return std::nullopt;
    std::optional<std::string> found;
    while (struct dirent* d = ::readdir(dir)) {
      if (EqualsIgnoringAsciiCase(d->d_name, part)) {
        found = JoinPath(current, d->d_name);
        break;
      }
    }
    ::closedir(dir);
    if (!found) return std::nullopt;
    current = std::move(*found);
  }
  return current;
}

std::string ReadWholeFile(const std::string& path) {
  BinaryFile file(path, BinaryFile::Mode::kRead);
  std::string data = file.ReadAll();
  file.Close();
  return data;
}

bool WriteFileAtomically(const std::string& path, std::string_view data, WriteSafety safety) {
  mode_t mode = 0666 & ~CurrentUmask();
  struct stat st {};
  if (::stat(path.c_str(), &st) == 0) {
    if (!S_ISREG(st.st_mode) || IsReadOnly(st)) return false;
    mode = st.st_mode & 07777;
  }
  std::string temp_name = ".";
  temp_name += FileNamePart(path);
  temp_name += ".korvel-XXXXXX";
  std::string temp = JoinPath(FolderPart(path), temp_name);
  const int fd = ::mkstemp(temp.data());
  if (fd < 0) return false;
  bool ok = WriteAll(fd, data) && ::fchmod(fd, mode) == 0 &&
            (safety == WriteSafety::kAtomicOnly || ::fsync(fd) == 0);
  if (::close(fd) != 0) ok = false;
  if (ok) ok = ::rename(temp.c_str(), path.c_str()) == 0;
  if (!ok) ::unlink(temp.c_str());
  return ok;
}

BinaryFile::BinaryFile(const std::string& path, Mode mode) : path_(path) {
  const char* action = mode == Mode::kCreate ? "Cannot create file" : "Cannot open file";
  struct stat st {};
  // Writing is refused on a read-only file even for the super-user; reading needs no look first.
  if (mode != Mode::kRead && ::stat(path.c_str(), &st) == 0 && !S_ISDIR(st.st_mode) &&
      IsReadOnly(st)) {
    ThrowFileError(action, path, EACCES);
  }
  int flags = O_CLOEXEC;
  switch (mode) {
    case Mode::kRead:
      flags |= O_RDONLY;
      break;
    case Mode::kReadWrite:
      flags |= O_RDWR;
      break;
    case Mode::kCreate:
      flags |= O_WRONLY | O_CREAT | O_TRUNC;
      break;
  }
  fd_ = ::open(path.c_str(), flags, 0666);
  if (fd_ < 0) ThrowFileError(action, path, errno);
  if (::fstat(fd_, &st) != 0 || S_ISDIR(st.st_mode)) {
    const int err = S_ISDIR(st.st_mode) ? EISDIR : errno;
    ::close(fd_);
    fd_ = -1;
    ThrowFileError(action, path, err);
  }
}

BinaryFile::~BinaryFile() {
  if (fd_ >= 0) ::close(fd_);
}

std::uint64_t BinaryFile::Size() const {
  struct stat st {};
  if (::fstat(fd_, &st) != 0) ThrowFileError("Cannot read file", path_, errno);
  return static_cast<std::uint64_t>(st.st_size);
}

std::string BinaryFile::ReadAll() const {
  std::string data(Size(), '\0');
  data.resize(ReadAt(0, data.data(), data.size()));  // the file may have shrunk meanwhile
  return data;
}

std::size_t BinaryFile::ReadAt(std::uint64_t offset, char* buffer, std::size_t count) const {
  std::size_t done = 0;
  while (done < count) {
    const ssize_t n = ::pread(fd_, buffer + done, count - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowFileError("Cannot read file", path_, errno);
    if (n == 0) break;
    done += static_cast<std::size_t>(n);
  }
  return done;
}

void BinaryFile::WriteAt(std::uint64_t offset, std::string_view data) {
  while (!data.empty()) {
    const ssize_t n = ::pwrite(fd_, data.data(), data.size(), static_cast<off_t>(offset));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) ThrowFileError("Cannot write file", path_, errno);
    data.remove_prefix(static_cast<std::size_t>(n));
    offset += static_cast<std::uint64_t>(n);
  }
}

void BinaryFile::Close() {
  if (fd_ < 0) return;
  const int fd = fd_;
  fd_ = -1;
  if (::close(fd) != 0) ThrowFileError("Cannot close file", path_, errno);
}

}  // namespace korvel::platform

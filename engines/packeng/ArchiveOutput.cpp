// Writing the archive's file with plain system calls.
#include "engines/packeng/ArchiveOutput.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

#include "engines/common/EngineCommon.h"

namespace korvel::engine {

namespace {

// The disk is asked to start writing the archive every so many bytes.
constexpr std::uint64_t kWriteBackStretch = 8 << 20;

}  // namespace

ArchiveWriteError::ArchiveWriteError(int error)
    : std::runtime_error(ErrnoText(error)), system_error_(error) {}

void ArchiveOutput::Write(std::string_view bytes) {
  const char* data = bytes.data();
  std::size_t left = bytes.size();
  while (left > 0) {
    const ssize_t written = ::write(fd_, data, left);
    if (written < 0) {
      if (errno == EINTR) continue;
      throw ArchiveWriteError(errno);
    }
    data += written;
    left -= static_cast<std::size_t>(written);
  }
  position_ += bytes.size();
  if (position_ > kMaxZip32)
    throw ArchiveWriteError("the archive would exceed 4 GB, which this format cannot hold");
  if (position_ - written_back_ >= kWriteBackStretch) {
    // Only a request: whether and when it happens, the flush at the end makes sure.
    ::sync_file_range(fd_, static_cast<off_t>(written_back_),
                      static_cast<off_t>(position_ - written_back_), SYNC_FILE_RANGE_WRITE);
    written_back_ = position_;
  }
}

void ArchiveOutput::Patch(std::uint64_t offset, std::string_view bytes) {
  const ssize_t written = ::pwrite(fd_, bytes.data(), bytes.size(), static_cast<off_t>(offset));
  if (written != static_cast<ssize_t>(bytes.size()))
    throw written < 0 ? ArchiveWriteError(errno) : ArchiveWriteError("short write");
}

void ArchiveOutput::CutBack(std::uint64_t offset) {
  if (::ftruncate(fd_, static_cast<off_t>(offset)) != 0 ||
      ::lseek(fd_, static_cast<off_t>(offset), SEEK_SET) < 0)
    throw ArchiveWriteError(errno);
  position_ = offset;
}

}  // namespace korvel::engine

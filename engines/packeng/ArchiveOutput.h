// The file a zip archive is written to: appended to in order, patched in place, cut back to an
// earlier end. It keeps the archive within what a zip file without zip64 records can hold, and
// asks the disk to start writing every few megabytes, so that the flush at the end has only the
// last stretch left to wait for.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string_view>

namespace korvel::engine {

// The archive being written can no longer be completed (write error, size limits).
class ArchiveWriteError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
  // A system call failed with `error` (errno); the text is the system's.
  explicit ArchiveWriteError(int error);
  int SystemError() const { return system_error_; }

 private:
  int system_error_ = 0;
};

class ArchiveOutput {
 public:
  // Writes to an open, empty, seekable file; the caller keeps ownership of `fd`.
  explicit ArchiveOutput(int fd) : fd_(fd) {}

  // Bytes written so far: where the next ones go.
  std::uint64_t Position() const { return position_; }
  // Appends; throws ArchiveWriteError.
  void Write(std::string_view bytes);
  // Overwrites bytes written before, at `offset`.
  void Patch(std::uint64_t offset, std::string_view bytes);
  // Drops everything from `offset` on, so that the archive ends there again.
  void CutBack(std::uint64_t offset);

 private:
  int fd_;
  std::uint64_t position_ = 0;
  std::uint64_t written_back_ = 0;  // the disk was asked to write the archive up to here
};

}  // namespace korvel::engine

// File and folder services: the few operations the program needs, with the platform's semantics
// hidden. Paths are the platform's bytes; kPathSeparator joins them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace korvel::platform {

inline constexpr char kPathSeparator = '/';

// Joins two path parts with exactly one separator between them.
std::string JoinPath(std::string_view folder, std::string_view name);

// The part of `path` after its last separator.
std::string FileNamePart(std::string_view path);
// The part of `path` before its last separator ("." for a bare name).
std::string FolderPart(const std::string& path);

// `path` as an absolute path: a relative one is taken from the current folder, once.
std::string AbsolutePath(const std::string& path);

// True when `path` names an existing file (a folder is not a file). Links are followed.
bool FileExists(const std::string& path);
bool DirectoryExists(const std::string& path);

// Length in bytes of the file at `path`, or -1 when there is no readable file there.
std::int64_t FileSizeOf(const std::string& path);

// Copies a file; fails (false) when `to` already exists or anything goes wrong. A failed copy
// never leaves a partial file at `to`.
bool CopyFileNoOverwrite(const std::string& from, const std::string& to);

// Gives the file at `from` (links followed) a second name `to`: the same file, nothing copied.
// Fails (false, errno set) when `to` exists, `from` is not a file, or the file system keeps no
// second names (EXDEV, EPERM, ENOTSUP and the like); a caller may then copy instead.
bool LinkFile(const std::string& from, const std::string& to);

// True when the file exists and its owner may not write it (the read-only attribute).
bool IsReadOnly(const std::string& path);

// Writes `data` to a file (an existing one is emptied first) and flushes it to the disk. False on
// failure, with errno set and nothing left at `path`.
bool WriteFileDurably(const std::string& path, std::string_view data);

// Flushes a file's data, or a folder's entries (so that renames in it survive a power loss), to
// the disk. False on failure.
bool SyncPath(const std::string& path);

// Gives `to` the permission bits of `from`. False on failure.
bool CopyPermissions(const std::string& from, const std::string& to);

// Renames a file or folder; fails (false) when `to` already exists.
bool RenameFile(const std::string& from, const std::string& to);

// Moves a file over another, replacing it in one step: a reader sees the old or the new file,
// never none. False on failure (the target is then unchanged).
bool ReplaceFile(const std::string& from, const std::string& to);

// Deletes a file (not a folder). False when nothing was deleted.
bool DeleteFile(const std::string& path);

// Creates one folder. Raises FileError when it cannot be created or already exists.
void CreateDirectory(const std::string& path);

// Removes an empty folder. False on failure.
bool RemoveDirectory(const std::string& path);

// Removes a folder with everything below it. Links inside are removed, never followed.
// True when nothing of it is left.
bool RemoveTree(const std::string& path);

// The process's current folder, and changing it (raises FileError on failure).
std::string CurrentDirectory();
void SetCurrentDirectory(const std::string& path);

// The folder that holds the running executable, without a trailing separator.
std::string ExecutableDirectory();

// Finds an existing entry below `base` whose path matches `relative` without regard to ASCII
// letter case (an exact match wins). Returns the full path as it is on disk, or nothing.
std::optional<std::string> ResolvePathIgnoringCase(const std::string& base,
                                                   std::string_view relative);

// Reads a whole file. Raises FileError.
std::string ReadWholeFile(const std::string& path);

// Replaces the content of `path` with `data` so that the file holds either its old or its new
// content, never a mix: the data goes to a temporary file beside it, which then takes its place.
// An existing file keeps its permissions; a read-only file is refused. False on any failure.
// kDurable also waits until the data is on disk before the swap (a user's file must survive a
// power cut); kAtomicOnly skips that wait, which costs milliseconds, for working copies.
enum class WriteSafety { kDurable, kAtomicOnly };
bool WriteFileAtomically(const std::string& path, std::string_view data,
                         WriteSafety safety = WriteSafety::kDurable);

// An open file of bytes (an untyped file, record size 1).
class BinaryFile {
 public:
  enum class Mode {
    kRead,       // an existing file, for reading
    kReadWrite,  // an existing file, for reading and writing
    kCreate,     // a new file, or an existing one emptied, for writing
  };

  // Opens the file. Raises FileError naming the file and the reason ("Cannot open file", or
  // "Cannot create file" for kCreate).
  BinaryFile(const std::string& path, Mode mode);
  ~BinaryFile();
  BinaryFile(const BinaryFile&) = delete;
  BinaryFile& operator=(const BinaryFile&) = delete;

  std::uint64_t Size() const;
  // Reads the whole file from its start.
  std::string ReadAll() const;
  // Reads up to `count` bytes at `offset`; fewer at the end of the file. Raises FileError.
  std::size_t ReadAt(std::uint64_t offset, char* buffer, std::size_t count) const;
  // Overwrites bytes at `offset`. Raises FileError.
  void WriteAt(std::uint64_t offset, std::string_view data);
  // Closes the file; a failing close raises FileError. The destructor closes silently.
  void Close();

  const std::string& Path() const { return path_; }

 private:
  std::string path_;
  int fd_ = -1;
};

}  // namespace korvel::platform

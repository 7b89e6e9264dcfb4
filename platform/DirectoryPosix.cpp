// Folder listings on POSIX, with the attribute bits mapped as the rest of the program expects.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>

#include <cerrno>

#include "platform/Directory.h"
#include "platform/Files.h"

namespace korvel::platform {

namespace {

FileTime ToFileTime(const struct statx_timestamp& ts) {
  using namespace std::chrono;
  return FileTime(
      duration_cast<system_clock::duration>(seconds(ts.tv_sec) + nanoseconds(ts.tv_nsec)));
}

// Fills `entry` (all but the name) for `name` in the folder open as `folder_fd` (AT_FDCWD: a
// path); links are followed, a dangling link is described by the link itself. `type` is what
// the folder listing said (DT_UNKNOWN when it said nothing): a known type that is not a link
// spares asking the file system twice.
bool FillEntry(int folder_fd, const char* name, unsigned char type, DirEntry& entry) {
  if (type == DT_UNKNOWN) {
    struct statx link {};
    if (statx(folder_fd, name, AT_SYMLINK_NOFOLLOW, STATX_TYPE, &link) != 0) return false;
    entry.IsSymlink = S_ISLNK(link.stx_mode);
  } else {
    entry.IsSymlink = type == DT_LNK;
  }

  struct statx st {};
  const unsigned mask = STATX_BASIC_STATS | STATX_BTIME;
  if (statx(folder_fd, name, 0, mask, &st) != 0 &&
      statx(folder_fd, name, AT_SYMLINK_NOFOLLOW, mask, &st) != 0) {
    return false;
  }

  std::uint32_t attributes = 0;
  if (!(st.stx_mode & S_IWUSR)) attributes |= kAttrReadOnly;
  const std::string base = FileNamePart(name);
  if (!base.empty() && base[0] == '.' && base != "." && base != "..") attributes |= kAttrHidden;
  const bool is_dir = S_ISDIR(st.stx_mode);
  attributes |= is_dir ? kAttrDirectory : kAttrArchive;
  entry.Attributes = attributes;
  entry.Size = is_dir ? 0 : st.stx_size;
  entry.LastAccessTime = ToFileTime(st.stx_atime);
  entry.LastWriteTime = ToFileTime(st.stx_mtime);
  entry.CreationTime =
      (st.stx_mask & STATX_BTIME) ? ToFileTime(st.stx_btime) : ToFileTime(st.stx_ctime);
  return true;
}

}  // namespace

struct DirectoryReader::Impl {
  DIR* dir = nullptr;
};

DirectoryReader::DirectoryReader(const std::string& folder) : impl_(std::make_unique<Impl>()) {
  impl_->dir = opendir(folder.c_str());
}

DirectoryReader::~DirectoryReader() {
  if (impl_->dir != nullptr) closedir(impl_->dir);
}

bool DirectoryReader::IsOpen() const {
  return impl_->dir != nullptr;
}

bool DirectoryReader::Next(DirEntry& entry) {
  if (impl_->dir == nullptr) return false;
  while (struct dirent* d = readdir(impl_->dir)) {
    DirEntry e;
    e.Name = d->d_name;
    if (!FillEntry(dirfd(impl_->dir), d->d_name, d->d_type, e)) continue;
    entry = std::move(e);
    return true;
  }
  return false;
}

bool StatEntry(const std::string& path, DirEntry& entry) {
  DirEntry e;
  e.Name = FileNamePart(path);
  if (!FillEntry(AT_FDCWD, path.c_str(), DT_UNKNOWN, e)) return false;
  entry = std::move(e);
  return true;
}

}  // namespace korvel::platform

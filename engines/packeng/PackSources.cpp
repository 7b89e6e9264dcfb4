// The packing run's entry sources on plain reads and on libzip.
#include "engines/packeng/PackSources.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace korvel::engine {

FileSource::FileSource(const std::string& path) {
  fd_ = UniqueFd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd_.Valid()) throw SourceReadError(ErrnoText(errno));
}

std::size_t FileSource::Read(char* buffer, std::size_t size) {
  for (;;) {
    const ssize_t got = ::read(fd_.Get(), buffer, size);
    if (got >= 0) return static_cast<std::size_t>(got);
    if (errno != EINTR) throw SourceReadError(ErrnoText(errno));
  }
}

void FileSource::Rewind() {
  if (::lseek(fd_.Get(), 0, SEEK_SET) < 0) throw SourceReadError(ErrnoText(errno));
}

ArchiveEntrySource::ArchiveEntrySource(zip_t* archive, zip_uint64_t index, zip_flags_t flags)
    : archive_(archive), index_(index), flags_(flags) {
  Rewind();
}

std::size_t ArchiveEntrySource::Read(char* buffer, std::size_t size) {
  const zip_int64_t got = zip_fread(file_.get(), buffer, size);
  if (got < 0) throw SourceReadError(zip_file_strerror(file_.get()));
  return static_cast<std::size_t>(got);
}

void ArchiveEntrySource::Rewind() {
  file_.reset(zip_fopen_index(archive_, index_, flags_));
  if (!file_) throw SourceReadError(zip_strerror(archive_));
}

}  // namespace korvel::engine

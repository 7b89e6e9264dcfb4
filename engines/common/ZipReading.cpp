// Opening archives through libzip with readable error texts.
#include "engines/common/ZipReading.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <optional>

#include "engines/common/EngineCommon.h"
#include "engines/common/ZipDirectory.h"

namespace korvel::engine {

std::string ZipErrorText(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

namespace {

// Bytes in front of the first entry that the end record's offsets leave out, found from the last
// end record in the file; nothing when there are none or the record makes no sense.
std::optional<std::uint64_t> UncountedPrefix(const std::string& path) {
  const UniqueFd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC));
  struct stat st {};
  if (!fd.Valid() || ::fstat(fd.Get(), &st) != 0) return std::nullopt;
  const std::optional<EndRecord> end =
      FindEndRecord(FileBytes(fd.Get(), static_cast<std::uint64_t>(st.st_size)));
  if (!end) return std::nullopt;
  return end->UncountedPrefix();
}

}  // namespace

ZipArchivePtr OpenArchiveForReading(const std::string& path, std::string& error,
                                    std::uint64_t* prefix) {
  if (prefix != nullptr) *prefix = 0;
  int code = 0;
  ZipArchivePtr archive(zip_open(path.c_str(), ZIP_RDONLY, &code));
  if (archive) return archive;
  error = ZipErrorText(code);
  if (code != ZIP_ER_NOZIP && code != ZIP_ER_INCONS) return nullptr;

  const std::optional<std::uint64_t> skip = UncountedPrefix(path);
  if (!skip) return nullptr;
  zip_error_t source_error;
  zip_error_init(&source_error);
  zip_source_t* source = zip_source_file_create(path.c_str(), *skip, -1, &source_error);
  if (source != nullptr) {
    archive.reset(zip_open_from_source(source, ZIP_RDONLY, &source_error));
    if (!archive) zip_source_free(source);  // the archive owns it only when opened
  }
  zip_error_fini(&source_error);
  if (archive && prefix != nullptr) *prefix = *skip;
  return archive;
}

}  // namespace korvel::engine

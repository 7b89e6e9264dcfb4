// Owning wrappers around libzip's reading handles, and its error texts.
#pragma once

#include <zip.h>

#include <cstdint>
#include <memory>
#include <string>

namespace korvel::engine {

struct ZipArchiveCloser {
  void operator()(zip_t* archive) const { zip_discard(archive); }
};
using ZipArchivePtr = std::unique_ptr<zip_t, ZipArchiveCloser>;

struct ZipFileCloser {
  void operator()(zip_file_t* file) const { zip_fclose(file); }
};
using ZipFilePtr = std::unique_ptr<zip_file_t, ZipFileCloser>;

// libzip's text for one of its error codes.
std::string ZipErrorText(int code);

// Opens an archive for reading; on failure nothing, and `error` says why. An archive with bytes
// in front that its offsets do not count (a stub glued on) is read from behind those bytes;
// `prefix` tells how many there were.
ZipArchivePtr OpenArchiveForReading(const std::string& path, std::string& error,
                                    std::uint64_t* prefix = nullptr);

}  // namespace korvel::engine

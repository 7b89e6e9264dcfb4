// Arbitrary bytes as a JAR whose directory the archive component reads.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <fstream>
#include <string>

#include "archive/ArchiveMessages.h"
#include "archive/Archiver.h"

namespace {

// One scratch file per fuzzing process, removed when it ends.
struct Scratch {
  Scratch() : path("/tmp/korvel-fuzz-zip-" + std::to_string(::getpid()) + ".jar") {
    korvel::TArchiveUiHooks hooks;
    hooks.ShowDialog = [](korvel::TArchiveBoxRequest&) { return 1; };  // no stderr per input
    korvel::SetArchiveUiHooks(hooks);
  }
  ~Scratch() { ::unlink(path.c_str()); }
  std::string path;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  static Scratch scratch;
  static korvel::TArchiver zip;
  {
    std::ofstream out(scratch.path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  zip.SetZipFileName("");
  zip.SetZipFileName(scratch.path);
  std::size_t total = 0;
  for (const korvel::ZipDirEntry& entry : zip.ZipContents()) total += entry.FileName.size();
  if (zip.Count() < 0 || total > size * 2 + 1) __builtin_trap();  // names come from the bytes
  return 0;
}

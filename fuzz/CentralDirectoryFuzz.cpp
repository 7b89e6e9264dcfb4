// Arbitrary bytes as the reference archive of a packing run, whose end record and central
// directory the engines' reader takes apart.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "archive/ZipFormat.h"
#include "engines/common/ZipDirectory.h"

namespace {

// The packing engine's bound on a reference's directory.
constexpr std::uint64_t kMaxDirectorySize = 64 << 20;

bool Within(std::string_view part, const std::string& whole) {
  return part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace korvel::engine;
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const MemoryBytes archive(bytes);
  const std::optional<EndRecord> end = FindEndRecord(archive);
  if (!end) return 0;
  // The record is whole, and what it leaves out lies in front of it.
  if (end->position + korvel::zip::kEndRecordSize > size) __builtin_trap();
  const std::optional<std::uint64_t> prefix = end->UncountedPrefix();
  if (prefix && (*prefix == 0 || *prefix > end->position)) __builtin_trap();
  const std::optional<std::string> directory =
      ReadCentralDirectory(archive, *end, kMaxDirectorySize);
  if (!directory) return 0;
  if (directory->size() != end->directory_size) __builtin_trap();
  CentralHeaders headers(*directory, end->entries);
  std::size_t count = 0;
  std::size_t name_bytes = 0;
  while (const std::optional<CentralEntry> header = headers.Next()) {
    if (!Within(header->name, *directory)) __builtin_trap();
    ++count;
    name_bytes += header->name.size();
  }
  // Every header given was read from the directory, and no more than counted.
  if (count > end->entries ||
      count * korvel::zip::kCentralHeaderSize + name_bytes > directory->size())
    __builtin_trap();
  if (!headers.Damaged() && count != end->entries) __builtin_trap();
  return 0;
}

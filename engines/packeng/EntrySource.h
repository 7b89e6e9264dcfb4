// What the zip writer reads an entry from, and how it says that a source failed or the run was
// stopped.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>

namespace korvel::engine {

// One entry's source could not be read; the entry was taken back out of the archive.
class SourceReadError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The run was stopped from a progress report; the entry was taken back out.
class WriteCancelled : public std::runtime_error {
 public:
  WriteCancelled() : std::runtime_error("cancelled") {}
};

// Where an entry's bytes come from. Read returns 0 at the end and throws SourceReadError.
class EntrySource {
 public:
  virtual ~EntrySource() = default;
  virtual std::size_t Read(char* buffer, std::size_t size) = 0;
  // Starts over from the first byte (used when compression does not pay).
  virtual void Rewind() = 0;
};

// Another archive's copy of an entry: its deflated bytes and the CRC-32 and size of the data they
// hold. It is written instead of our own compression when the data are the same and it is
// smaller; when it cannot be read, our own is written.
struct OriginalEntry {
  std::uint32_t crc = 0;
  std::uint64_t size = 0;
  std::uint64_t compressed_size = 0;
  // Opens the deflated bytes; called only when they are taken.
  std::function<std::unique_ptr<EntrySource>()> open;
};

// Is told the number of source bytes just consumed; false stops the run.
using ProgressFn = std::function<bool(std::uint64_t bytes)>;

}  // namespace korvel::engine

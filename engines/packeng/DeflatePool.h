// Whole-entry compression with libdeflate, on worker threads so that a packing run compresses
// several entries at once while its own thread reads the next files and writes finished ones.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>

#include "engines/common/TaskPool.h"

struct libdeflate_compressor;

namespace korvel::engine {

// The libdeflate level for one of ours: 1 to 8 mean the same to it; our best, 9, asks for its
// level 10, the first that searches for optimal parsings. That packs a few percent tighter than
// zlib's 9 in about the same time; 11 and 12 gain a tenth of a percent for half as much again
// (measured on the sample games).
int LibdeflateLevel(int level);

// The levels from 10 on search for optimal parsings: on data that hardly shrinks (images and
// sounds compressed already) they take many times longer than the fastest level and gain little.
// Data that the fastest level shrinks by less than this share is left at that level's result.
inline constexpr int kSearchingLevel = 10;
inline constexpr std::size_t kWorthSearchingPercent = 3;
// True when deflating `size` bytes into `packed` bytes saves less than kWorthSearchingPercent.
inline bool HardlyShrinks(std::uint64_t size, std::uint64_t packed) {
  return packed * 100 >= size * (100 - kWorthSearchingPercent);
}

// One libdeflate compressor for one level, freed with its owner.
class WholeCompressor {
 public:
  explicit WholeCompressor(int libdeflate_level);
  ~WholeCompressor();
  WholeCompressor(const WholeCompressor&) = delete;
  WholeCompressor& operator=(const WholeCompressor&) = delete;

  int Level() const { return level_; }
  // Deflates `size` bytes into `out`, which has room for size - 1; 0 when the result would not
  // be smaller than the input (the entry is then stored).
  std::size_t Deflate(const char* in, std::size_t size, char* out);

 private:
  libdeflate_compressor* compressor_;
  int level_;
};

class DeflatePool {
 public:
  // `done` and `error` (what stopped the compression) come from the task; `done` may be set by
  // the owner of a job it never submits.
  struct Job : TaskPool::Task {
    std::unique_ptr<char[]> data;
    std::size_t size = 0;
    int libdeflate_level = 0;
    // At a searching level: try the fastest level first (see kWorthSearchingPercent).
    bool quick_first = false;
    // Results, valid once Wait returned: the deflated bytes (packed_size 0: store `data`) and
    // the CRC of `data`.
    std::unique_ptr<char[]> packed;
    std::size_t packed_size = 0;
    std::uint32_t crc = 0;
  };

  // Each worker keeps one compressor from job to job, made anew only for another level.
  explicit DeflatePool(unsigned workers);

  unsigned Workers() const { return pool_.Workers(); }
  void Submit(std::shared_ptr<Job> job) { pool_.Submit(std::move(job)); }
  bool Done(const Job& job) { return pool_.Done(job); }
  // Blocks until `job` is done.
  void Wait(const Job& job) { pool_.Wait(job); }

 private:
  // Lets the running jobs finish and stops the workers with it; queued jobs are dropped.
  TaskPool pool_;
};

}  // namespace korvel::engine

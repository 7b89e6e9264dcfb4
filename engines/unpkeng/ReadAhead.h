// Small deflated entries expanded ahead of the unpacking loop. The loop's thread reads an
// upcoming entry's packed bytes and hands them to a worker thread, which expands them and takes
// their checksum; when the loop comes to that entry it takes the result and goes on as if it had
// expanded the entry itself. Only the loop's thread touches the archive, and nothing here sends
// a callback: a failure to open or read an entry is kept with it, for the loop to report at the
// entry's turn, and so is anything the reading or the expansion threw.
//
// The packed and expanded bytes of the entries read ahead (the one the loop holds included) stay
// under a budget, except that one entry alone is always read, whatever its size. Entries the loop
// passes by are dropped. Without worker threads (a run with fewer than two such entries, or no
// thread to be had) an entry is read when the loop takes it and expanded on the loop's thread.
#pragma once

#include <zip.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <vector>

#include "engines/common/TaskPool.h"

struct libdeflate_decompressor;

namespace korvel::engine {

// Deflated entries up to this size are expanded whole with libdeflate, which is several times
// faster than zlib's stream; larger ones are streamed, so memory stays bounded.
inline constexpr std::size_t kWholeEntryLimit = 8 << 20;

// Whether an entry is expanded whole: deflated, not encrypted, both sizes and the checksum known
// and neither size above kWholeEntryLimit.
bool IsWholeEntry(const zip_stat_t& st);

// One entry expanded whole, or what kept it from being read.
struct ExpandedEntry : TaskPool::Task {
  enum class Failure { kNone, kOpen, kRead };

  zip_uint64_t index = 0;
  std::uint64_t size = 0;  // as recorded
  std::uint64_t comp_size = 0;
  std::uint32_t crc = 0;
  // Set by the reading: the step that failed and libzip's text for why.
  Failure failure = Failure::kNone;
  std::string failure_text;
  std::unique_ptr<char[]> packed;
  // Set by the expansion: undecodable data, or `data` (the first `expanded_size` bytes, at most
  // `size`) and whether it fails the checksum (too short, too long or another CRC).
  bool bad_data = false;
  bool crc_error = false;
  std::unique_ptr<char[]> data;
  std::size_t expanded_size = 0;

  bool submitted = false;
  std::atomic<bool> dropped{false};  // the loop passed it by: no need to expand it
};

class ReadAhead {
 public:
  // What the loop may come to, in its order (ascending indexes): entries that IsWholeEntry.
  struct Candidate {
    zip_uint64_t index;
    zip_stat_t st;
  };
  // Bytes held by entries read ahead, packed and expanded.
  static constexpr std::size_t kBudget = 16 << 20;
  // Entries read ahead at most, however small; more are read once half of them are taken.
  static constexpr std::size_t kMaxEntries = 128;

  // `archive` stays open and is used on this thread only, by Take.
  ReadAhead(zip_t* archive, std::vector<Candidate> candidates);
  // Drops what was read ahead; stops and joins the workers.
  ~ReadAhead();
  ReadAhead(const ReadAhead&) = delete;
  ReadAhead& operator=(const ReadAhead&) = delete;

  // The entry `index` (st its stat), read now unless it was read ahead; failure tells whether it
  // could be opened. Entries before it not taken are dropped, and the entry taken before is
  // released. Reads further entries ahead as the budget allows.
  std::shared_ptr<ExpandedEntry> Take(zip_uint64_t index, const zip_stat_t& st);
  // Blocks until `entry` (from Take) is expanded, expanding it here when no worker has it;
  // rethrows what its reading or expanding threw.
  void Wait(ExpandedEntry& entry);

 private:
  // What an entry counts against the budget, from its recorded sizes.
  static std::size_t Cost(const ExpandedEntry& entry);
  // Stops counting a finished entry, or counts it among the dropped ones until a worker is done.
  void Release(std::shared_ptr<ExpandedEntry>& entry);
  // Stops counting the dropped entries the workers are done with (all of them, with `wait`).
  void ForgetDropped(bool wait);
  // Reads entries from the cursor on while the budget allows, and hands them to the workers;
  // only when few are left, so that the workers wake once for many small entries.
  void Fill();
  // Reads an entry's packed bytes (counted from now on); done already when that failed.
  std::shared_ptr<ExpandedEntry> Read(zip_uint64_t index, const zip_stat_t& st);
  void ReadPacked(ExpandedEntry& entry);

  zip_t* archive_;
  std::vector<Candidate> candidates_;
  std::size_t cursor_ = 0;
  std::unique_ptr<TaskPool> pool_;
  std::deque<std::shared_ptr<ExpandedEntry>> ahead_;
  // Dropped entries a worker may still hold, counted until it is done with them.
  std::deque<std::shared_ptr<ExpandedEntry>> dropped_;
  std::shared_ptr<ExpandedEntry> taken_;
  std::size_t held_ = 0;
  std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)> decompressor_;
};

}  // namespace korvel::engine

// The read-ahead: packed bytes read on the loop's thread, expanded with libdeflate on the workers.
#include "engines/unpkeng/ReadAhead.h"

#include <libdeflate.h>

#include <new>
#include <system_error>

#include "engines/common/ZipReading.h"

namespace korvel::engine {

namespace {

using DecompressorPtr =
    std::unique_ptr<libdeflate_decompressor, void (*)(libdeflate_decompressor*)>;

// Expands a read entry with `decompressor`, made on first use; frees the packed bytes.
void Expand(ExpandedEntry& entry, DecompressorPtr& decompressor) {
  if (entry.dropped.load(std::memory_order_relaxed)) {
    entry.packed.reset();
    return;
  }
  if (!decompressor) {
    decompressor.reset(libdeflate_alloc_decompressor());
    if (!decompressor) throw std::bad_alloc();
  }
  entry.data = std::make_unique_for_overwrite<char[]>(entry.size);
  std::size_t size = 0;
  const libdeflate_result result = libdeflate_deflate_decompress(
      decompressor.get(), entry.packed.get(), entry.comp_size, entry.data.get(), entry.size, &size);
  entry.packed.reset();
  if (result == LIBDEFLATE_BAD_DATA) {
    entry.bad_data = true;
    return;
  }
  // Data longer than its recorded size (the first part is kept) fails the check as well.
  if (result == LIBDEFLATE_INSUFFICIENT_SPACE) size = entry.size;
  entry.expanded_size = size;
  entry.crc_error = result != LIBDEFLATE_SUCCESS || size != entry.size ||
                    libdeflate_crc32(0, entry.data.get(), size) != entry.crc;
}

class ExpandWorker : public TaskPool::Worker {
 public:
  void Run(TaskPool::Task& task) override {
    Expand(static_cast<ExpandedEntry&>(task), decompressor_);
  }

 private:
  DecompressorPtr decompressor_{nullptr, libdeflate_free_decompressor};
};

}  // namespace

bool IsWholeEntry(const zip_stat_t& st) {
  constexpr zip_uint64_t kNeeded = ZIP_STAT_SIZE | ZIP_STAT_COMP_SIZE | ZIP_STAT_CRC;
  return st.encryption_method == ZIP_EM_NONE && st.comp_method == ZIP_CM_DEFLATE &&
         (st.valid & kNeeded) == kNeeded && st.size <= kWholeEntryLimit &&
         st.comp_size <= kWholeEntryLimit;
}

ReadAhead::ReadAhead(zip_t* archive, std::vector<Candidate> candidates)
    : archive_(archive),
      candidates_(std::move(candidates)),
      decompressor_(nullptr, libdeflate_free_decompressor) {
  if (candidates_.size() < 2) return;
  // As in packing: the loop's thread reads and writes, the workers have the processors.
  try {
    pool_ = std::make_unique<TaskPool>(TaskPool::DefaultWorkers(),
                                       [] { return std::make_unique<ExpandWorker>(); });
  } catch (const std::system_error&) {
    // No thread to be had: everything is done on the loop's thread.
  }
}

ReadAhead::~ReadAhead() = default;

std::size_t ReadAhead::Cost(const ExpandedEntry& entry) {
  return static_cast<std::size_t>(entry.size + entry.comp_size);
}

void ReadAhead::Release(std::shared_ptr<ExpandedEntry>& entry) {
  if (!entry) return;
  if (entry->submitted && !pool_->Done(*entry)) {
    entry->dropped.store(true, std::memory_order_relaxed);
    dropped_.push_back(std::move(entry));
  } else {
    held_ -= Cost(*entry);
  }
  entry.reset();
}

void ReadAhead::ForgetDropped(bool wait) {
  std::erase_if(dropped_, [&](const std::shared_ptr<ExpandedEntry>& entry) {
    if (wait)
      pool_->Wait(*entry);
    else if (!pool_->Done(*entry))
      return false;
    held_ -= Cost(*entry);
    return true;
  });
}

std::shared_ptr<ExpandedEntry> ReadAhead::Take(zip_uint64_t index, const zip_stat_t& st) {
  Release(taken_);
  while (!ahead_.empty() && ahead_.front()->index < index) {
    std::shared_ptr<ExpandedEntry> passed = std::move(ahead_.front());
    ahead_.pop_front();
    Release(passed);
  }
  if (ahead_.empty())
    while (cursor_ < candidates_.size() && candidates_[cursor_].index < index) ++cursor_;
  Fill();
  if (!ahead_.empty() && ahead_.front()->index == index) {
    taken_ = std::move(ahead_.front());
    ahead_.pop_front();
  } else {
    taken_ = Read(index, st);  // not one of the candidates: expanded by Wait
  }
  return taken_;
}

void ReadAhead::Wait(ExpandedEntry& entry) {
  if (entry.submitted) {
    pool_->Wait(entry);
  } else if (!entry.done) {
    try {
      Expand(entry, decompressor_);
    } catch (...) {
      entry.error = std::current_exception();
    }
    entry.done = true;
  }
  if (entry.error) std::rethrow_exception(entry.error);
}

void ReadAhead::Fill() {
  const std::size_t most = pool_ ? kMaxEntries : 1;
  if (!ahead_.empty() && ahead_.size() >= most / 2) return;
  ForgetDropped(false);
  std::vector<std::shared_ptr<TaskPool::Task>> batch;
  while (cursor_ < candidates_.size() && ahead_.size() < most) {
    const zip_stat_t& st = candidates_[cursor_].st;
    if (held_ > 0 && held_ + st.size + st.comp_size > kBudget) {
      if (!ahead_.empty() || dropped_.empty()) break;
      ForgetDropped(true);  // only they are in the way, and the workers pass them over
      continue;
    }
    std::shared_ptr<ExpandedEntry> entry = Read(candidates_[cursor_].index, st);
    ++cursor_;
    // (Should the hand-over throw, the run ends and nobody waits for these.)
    entry->submitted = pool_ && !entry->done;
    if (entry->submitted) batch.push_back(entry);
    ahead_.push_back(std::move(entry));
  }
  if (!batch.empty()) pool_->Submit(std::move(batch));
}

std::shared_ptr<ExpandedEntry> ReadAhead::Read(zip_uint64_t index, const zip_stat_t& st) {
  // Not make_shared: its type tag is a unique symbol, which would keep the library from ever
  // being unloaded.
  std::shared_ptr<ExpandedEntry> entry(new ExpandedEntry);
  entry->index = index;
  entry->size = st.size;
  entry->comp_size = st.comp_size;
  entry->crc = st.crc;
  held_ += Cost(*entry);
  try {
    ReadPacked(*entry);
  } catch (...) {
    entry->error = std::current_exception();
  }
  // Done already when it could not be read; otherwise expanded by a worker or by Wait.
  entry->done = entry->failure != ExpandedEntry::Failure::kNone || entry->error != nullptr;
  return entry;
}

void ReadAhead::ReadPacked(ExpandedEntry& entry) {
  ZipFilePtr file(zip_fopen_index(archive_, entry.index, ZIP_FL_COMPRESSED));
  if (!file) {
    entry.failure = ExpandedEntry::Failure::kOpen;
    entry.failure_text = zip_strerror(archive_);
    return;
  }
  entry.packed = std::make_unique_for_overwrite<char[]>(entry.comp_size);
  std::size_t have = 0;
  while (have < entry.comp_size) {
    const zip_int64_t got =
        zip_fread(file.get(), entry.packed.get() + have, entry.comp_size - have);
    if (got <= 0) {
      entry.failure = ExpandedEntry::Failure::kRead;
      entry.failure_text = got < 0 ? zip_file_strerror(file.get()) : "the data ends too soon";
      entry.packed.reset();
      return;
    }
    have += static_cast<std::size_t>(got);
  }
}

}  // namespace korvel::engine

// Zip file writer on libdeflate (streamed through zlib for entries too large to hold whole);
// sizes are patched into the local header after the data, which needs a seekable file but no
// data descriptor.
#include "engines/packeng/ZipWriter.h"

#include <libdeflate.h>

#include <algorithm>
#include <cstring>
#include <memory>

#include "engines/common/EngineCommon.h"

namespace korvel::engine {

namespace {

constexpr std::size_t kMaxEntries = 0xFFFF;
constexpr std::size_t kChunk = 64 * 1024;
// Made by Unix, format 3.0: the directory reader then leaves names as bytes (no OEM decoding).
constexpr std::uint16_t kVersionMadeBy = 3 << 8 | 30;
constexpr std::uint16_t kMethodStored = 0;
constexpr std::uint16_t kMethodDeflated = 8;
// Bytes of entries waiting for the worker threads, their output included: this bounds the
// memory a run needs however fast the files are read.
constexpr std::size_t kMaxPendingBytes = 32 << 20;
// Entries read ahead of the oldest one still being compressed: enough that a long one does not
// leave the other workers idle.
constexpr std::size_t kMaxPendingEntries = 64;

std::uint16_t VersionNeeded(std::uint16_t method) {
  return method == kMethodStored ? 10 : 20;
}

std::uint32_t ExternalAttributes(std::uint32_t unix_mode, bool is_dir) {
  std::uint32_t dos = is_dir ? 0x10 : 0;
  if ((unix_mode & 0200) == 0) dos |= 0x01;  // read-only
  return unix_mode << 16 | dos;
}

// The hint readers show as "maximum", "fast" or "super fast" compression.
std::uint16_t DeflateSpeedFlags(int level) {
  if (level >= 8) return 2;
  if (level == 2) return 4;
  if (level == 1) return 6;
  return 0;
}

void CheckName(const std::string& name) {
  if (name.empty() || name.size() > 0xFFFF) throw SourceReadError("unusable entry name");
}

}  // namespace

ZipWriter::ZipWriter(int fd) : output_(fd) {
  // The caller's thread reads and writes; the workers have the processors to themselves (one
  // worker at least, so that there is one way of compressing whole entries).
  workers_ = TaskPool::DefaultWorkers();
}

ZipWriter::~ZipWriter() = default;

zip::CommonHeaderFields ZipWriter::HeaderFields(const Entry& entry) {
  zip::CommonHeaderFields fields;
  fields.version_needed = VersionNeeded(entry.method);
  fields.flags = entry.flags;  // never encryption or a data descriptor
  fields.method = entry.method;
  fields.dos_time = entry.dos_time;
  fields.crc = entry.crc;
  fields.compressed_size = entry.compressed_size;
  fields.size = entry.size;
  fields.name_length = static_cast<std::uint16_t>(entry.name.size());
  return fields;  // no extra field
}

std::string ZipWriter::LocalHeader(const Entry& entry) const {
  return zip::LocalHeader(HeaderFields(entry));
}

void ZipWriter::BeginEntry(Entry& entry) {
  if (entries_.size() >= kMaxEntries)
    throw ArchiveWriteError("more than 65535 entries, which this format cannot hold");
  entry.offset = static_cast<std::uint32_t>(output_.Position());
  output_.Write(LocalHeader(entry) + entry.name);
}

void ZipWriter::Rollback(std::uint64_t offset) {
  output_.CutBack(offset);
}

void ZipWriter::AddDirectory(const std::string& name, std::uint32_t dos_time,
                             std::uint32_t unix_mode) {
  CheckName(name);
  Entry entry;
  entry.name = name.back() == '/' ? name : name + '/';
  entry.dos_time = dos_time;
  entry.external_attributes = ExternalAttributes(unix_mode, true);
  if (entries_.size() + pending_.size() >= kMaxEntries)
    throw ArchiveWriteError("more than 65535 entries, which this format cannot hold");
  // In line behind the entries still being compressed, so that the order stays as added.
  pending_.push_back(Pending{std::move(entry), nullptr, 0, {}, 0, std::nullopt});
  WritePending(false);
}

void ZipWriter::StoreFrom(EntrySource& source, Entry& entry, const ProgressFn& progress) {
  const StreamedData data = streamer_.Store(source, output_, progress);
  entry.method = kMethodStored;
  entry.flags = 0;
  entry.crc = data.crc;
  entry.size = entry.compressed_size = data.size;
}

namespace {

// Makes `buffer` hold at least `needed` bytes, keeping its first `keep`.
void Reserve(std::unique_ptr<char[]>& buffer, std::size_t& capacity, std::size_t needed,
             std::size_t keep) {
  if (needed <= capacity) return;
  const std::size_t grown = std::max(needed, std::min(capacity * 2, ZipWriter::kWholeEntryLimit));
  auto bigger = std::make_unique_for_overwrite<char[]>(grown);
  if (keep > 0) std::memcpy(bigger.get(), buffer.get(), keep);
  buffer = std::move(bigger);
  capacity = grown;
}

}  // namespace

bool ZipWriter::ReadWhole(EntrySource& source, std::size_t& size, const ProgressFn& progress) {
  size = 0;
  for (;;) {
    Reserve(whole_in_, whole_in_capacity_, std::min(size + kChunk, kWholeEntryLimit + 1), size);
    const std::size_t room = std::min(kChunk, kWholeEntryLimit + 1 - size);
    const std::size_t got = source.Read(whole_in_.get() + size, room);
    if (got == 0) return true;
    size += got;
    if (progress && !progress(got)) throw WriteCancelled();
    if (size > kWholeEntryLimit) return false;
  }
}

bool ZipWriter::DeflateStream(EntrySource& source, Entry& entry, int level,
                              const ProgressFn& progress) {
  const std::optional<StreamedData> data = streamer_.Deflate(source, output_, level, progress);
  if (!data) return false;
  entry.method = kMethodDeflated;
  entry.flags = DeflateSpeedFlags(level);
  entry.crc = data->crc;
  entry.size = data->size;
  entry.compressed_size = data->compressed_size;
  return true;
}

void ZipWriter::AddFile(const std::string& name, std::uint32_t dos_time, std::uint32_t unix_mode,
                        EntrySource& source, bool store_only, int level, const ProgressFn& progress,
                        const WrittenFn& written, std::optional<OriginalEntry> original) {
  CheckName(name);
  Entry entry;
  entry.name = name;
  entry.dos_time = dos_time;
  entry.external_attributes = ExternalAttributes(unix_mode, false);
  if (entries_.size() + pending_.size() >= kMaxEntries)
    throw ArchiveWriteError("more than 65535 entries, which this format cannot hold");
  // Entries to store wait in line as well, so that the workers never run dry behind one.
  const int entry_level = store_only ? 0 : std::max(level, 0);
  std::size_t size = 0;
  if (ReadWhole(source, size, progress)) {
    Submit(std::move(entry), size, entry_level, written, std::move(original));
    WritePending(false);
    return;
  }
  // Too large to hold: streamed from the start, telling only of bytes not yet reported.
  source.Rewind();
  WritePending(true);
  std::uint64_t seen = 0;
  const ProgressFn rest = [&](std::uint64_t bytes) {
    seen += bytes;
    return seen <= size || !progress || progress(std::min<std::uint64_t>(bytes, seen - size));
  };
  const std::uint64_t packed = WriteNow(entry, source, entry_level, rest, original);
  if (written) written(packed);
}

std::uint64_t ZipWriter::WriteNow(Entry& entry, EntrySource& source, int level,
                                  const ProgressFn& progress,
                                  const std::optional<OriginalEntry>& original) {
  const std::uint64_t start = output_.Position();
  if (original) {
    // Ours is known only once written. When the original is smaller, it replaces ours; when it
    // then cannot be read after all, ours is written once more.
    const Entry blank = entry;
    const std::uint64_t ours = WriteNow(entry, source, level, progress, std::nullopt);
    if (!SmallerOriginal(entries_.back(), *original)) return ours;
    Entry taken = std::move(entries_.back());
    entries_.pop_back();
    Rollback(start);
    if (WriteOriginal(taken, *original)) {
      const std::uint64_t packed = taken.compressed_size;
      entries_.push_back(std::move(taken));
      return packed;
    }
    entry = blank;
    source.Rewind();
    return WriteNow(entry, source, level, {}, std::nullopt);
  }
  try {
    BeginEntry(entry);
    const std::uint64_t data_start = output_.Position();
    if (level <= 0) {
      StoreFrom(source, entry, progress);
    } else if (!DeflateStream(source, entry, level, progress)) {
      // Compression did not pay: store the bytes instead.
      Rollback(data_start);
      source.Rewind();
      StoreFrom(source, entry, {});
    }
    output_.Patch(entry.offset, LocalHeader(entry));
  } catch (const SourceReadError&) {
    Rollback(start);
    throw;
  } catch (const WriteCancelled&) {
    Rollback(start);
    throw;
  }
  const std::uint64_t packed = entry.compressed_size;
  entries_.push_back(std::move(entry));
  return packed;
}

void ZipWriter::Submit(Entry entry, std::size_t size, int level, const WrittenFn& written,
                       std::optional<OriginalEntry> original) {
  // Not make_shared: its type tag is a unique symbol, which would keep the library from ever
  // being unloaded.
  std::shared_ptr<DeflatePool::Job> job(new DeflatePool::Job);
  job->data = std::make_unique_for_overwrite<char[]>(size);
  if (size > 0) std::memcpy(job->data.get(), whole_in_.get(), size);
  job->size = size;
  if (level == 0) {
    // Stored: only the checksum is needed, which takes less than handing the entry over.
    job->crc = libdeflate_crc32(0, job->data.get(), size);
    job->done = true;
    pending_bytes_ += size;
    pending_.push_back(
        Pending{std::move(entry), std::move(job), 0, written, size, std::move(original)});
    return;
  }
  // What the reference made of the same entry tells whether searching pays; without one the
  // worker finds out.
  if (!original) {
    job->quick_first = true;
  } else if (LibdeflateLevel(level) >= kSearchingLevel &&
             HardlyShrinks(original->size, original->compressed_size)) {
    level = 1;
  }
  job->libdeflate_level = LibdeflateLevel(level);
  pending_bytes_ += 2 * size;
  pending_.push_back(Pending{std::move(entry), job, level, written, 2 * size, std::move(original)});
  if (!pool_) pool_ = std::make_unique<DeflatePool>(workers_);
  pool_->Submit(std::move(job));
}

bool ZipWriter::Ready(const Pending& pending) {
  return !pending.job || pending.level == 0 || pool_->Done(*pending.job);
}

void ZipWriter::WritePending(bool all) {
  while (!pending_.empty()) {
    const bool must =
        all || pending_.size() > kMaxPendingEntries || pending_bytes_ > kMaxPendingBytes;
    if (!must && !Ready(pending_.front())) return;
    WriteOldest();
  }
}

void ZipWriter::WriteOldest() {
  Pending pending = std::move(pending_.front());
  pending_.pop_front();
  pending_bytes_ -= pending.bytes;
  if (!pending.job) {  // a folder
    BeginEntry(pending.entry);
    entries_.push_back(std::move(pending.entry));
    return;
  }
  DeflatePool::Job& job = *pending.job;
  if (pending.level > 0) pool_->Wait(job);
  if (job.error) std::rethrow_exception(job.error);
  Entry& entry = pending.entry;
  entry.crc = job.crc;
  entry.size = static_cast<std::uint32_t>(job.size);
  const bool deflated = job.packed_size > 0;
  entry.method = deflated ? kMethodDeflated : kMethodStored;
  entry.flags = deflated ? DeflateSpeedFlags(pending.level) : 0;
  entry.compressed_size = static_cast<std::uint32_t>(deflated ? job.packed_size : job.size);
  if (!pending.original || !SmallerOriginal(entry, *pending.original) ||
      !WriteOriginal(entry, *pending.original)) {
    BeginEntry(entry);
    output_.Write(deflated ? std::string_view(job.packed.get(), job.packed_size)
                           : std::string_view(job.data.get(), job.size));
  }
  const std::uint64_t packed = entry.compressed_size;
  entries_.push_back(std::move(entry));
  if (pending.written) pending.written(packed);
}

void ZipWriter::AddRaw(const std::string& name, std::uint32_t dos_time, std::uint32_t unix_mode,
                       std::uint16_t method, std::uint32_t crc, std::uint64_t compressed_size,
                       std::uint64_t size, EntrySource& raw) {
  CheckName(name);
  WritePending(true);
  if (compressed_size > kMaxZip32 || size > kMaxZip32)
    throw SourceReadError("larger than 4 GB, which this archive format cannot hold");
  Entry entry;
  entry.name = name;
  entry.dos_time = dos_time;
  entry.method = method;
  entry.crc = crc;
  entry.compressed_size = static_cast<std::uint32_t>(compressed_size);
  entry.size = static_cast<std::uint32_t>(size);
  entry.external_attributes = ExternalAttributes(unix_mode, !name.empty() && name.back() == '/');
  WriteRaw(entry, raw);
  entries_.push_back(std::move(entry));
}

void ZipWriter::WriteRaw(Entry& entry, EntrySource& raw) {
  const std::uint64_t start = output_.Position();
  try {
    BeginEntry(entry);
    auto buffer = std::make_unique_for_overwrite<char[]>(kChunk);
    std::uint64_t copied = 0;
    for (std::size_t got; (got = raw.Read(buffer.get(), kChunk)) > 0;) {
      copied += got;
      if (copied > entry.compressed_size) break;
      output_.Write(std::string_view(buffer.get(), got));
    }
    if (copied != entry.compressed_size) throw SourceReadError("the entry's data is incomplete");
  } catch (const SourceReadError&) {
    Rollback(start);
    throw;
  }
}

bool ZipWriter::SmallerOriginal(const Entry& ours, const OriginalEntry& original) {
  return original.crc == ours.crc && original.size == ours.size &&
         original.compressed_size < ours.compressed_size;
}

bool ZipWriter::WriteOriginal(Entry& entry, const OriginalEntry& original) {
  const Entry ours = entry;
  entry.method = kMethodDeflated;
  entry.flags = 0;
  entry.compressed_size = static_cast<std::uint32_t>(original.compressed_size);
  try {
    const std::unique_ptr<EntrySource> raw = original.open();
    WriteRaw(entry, *raw);
    return true;
  } catch (const SourceReadError&) {
    entry = ours;
    return false;
  }
}

void ZipWriter::Finish(std::string_view comment) {
  WritePending(true);
  const std::uint64_t directory_start = output_.Position();
  std::string directory;
  for (const Entry& entry : entries_) {
    zip::CentralHeaderFields central;
    central.made_by = kVersionMadeBy;
    central.external_attributes = entry.external_attributes;
    central.local_offset = entry.offset;
    directory += zip::CentralHeader(HeaderFields(entry), central);  // no comment
    directory += entry.name;
  }
  output_.Write(directory);
  const std::string_view kept_comment = comment.substr(0, zip::kMaxCommentSize);
  std::string end = zip::EndRecord(
      static_cast<std::uint32_t>(entries_.size()), static_cast<std::uint32_t>(directory.size()),
      static_cast<std::uint32_t>(directory_start), static_cast<std::uint32_t>(kept_comment.size()));
  end += kept_comment;
  output_.Write(end);
}

}  // namespace korvel::engine

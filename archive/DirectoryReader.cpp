// TArchiveWorker's directory reading: the end record, then the central headers one by one.
#include <algorithm>
#include <fstream>
#include <new>
#include <stdexcept>

#include "archive/ArchiveMessages.h"
#include "archive/ArchiveWorker.h"
#include "archive/ArchiveWorkerInternals.h"
#include "archive/ZipFormat.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

namespace korvel {
namespace {

constexpr std::int64_t kEndRecordSize = zip::kEndRecordSize;
constexpr std::int64_t kCentralHeaderSize = zip::kCentralHeaderSize;
constexpr std::int64_t kMaxCommentSize = zip::kMaxCommentSize;
// Trailing bytes this few and this small (spaces, line ends) are what transfer tools append.
constexpr std::int64_t kHarmlessTrailMax = 512;
constexpr unsigned char kHarmlessTrailLimit = 0x2F;

// The fields of an end-of-central-directory record.
struct EndRecord {
  std::uint16_t this_disk = 0;
  std::uint16_t central_disk = 0;
  std::uint16_t total_entries = 0;
  std::uint32_t central_size = 0;
  std::uint32_t central_offset = 0;
  std::uint16_t comment_length = 0;
};

EndRecord ParseEnd(const unsigned char* p) {
  EndRecord r;
  r.this_disk = zip::Read16(p + zip::kEndThisDisk);
  r.central_disk = zip::Read16(p + zip::kEndDirectoryDisk);
  r.total_entries = zip::Read16(p + zip::kEndTotalEntries);
  r.central_size = zip::Read32(p + zip::kEndDirectorySize);
  r.central_offset = zip::Read32(p + zip::kEndDirectoryOffset);
  r.comment_length = zip::Read16(p + zip::kEndCommentLength);
  return r;
}

// The central header's fixed part, without name, extra field and comment.
ZipDirEntry ParseCentralHeader(const unsigned char* h) {
  ZipDirEntry e;
  e.MadeByVersion = h[zip::kCentralMadeBy];
  e.HostVersionNo = h[zip::kCentralHost];
  e.VersionNeeded = zip::Read16(h + zip::kCentralVersionNeeded);
  e.Flag = zip::Read16(h + zip::kCentralFlags);
  e.CompressionMethod = zip::Read16(h + zip::kCentralMethod);
  e.DateTime = zip::Read32(h + zip::kCentralDosTime);
  e.CRC32 = zip::Read32(h + zip::kCentralCrc);
  e.CompressedSize = zip::Read32(h + zip::kCentralCompressedSize);
  e.UncompressedSize = zip::Read32(h + zip::kCentralSize);
  e.FileNameLength = zip::Read16(h + zip::kCentralNameLength);
  e.ExtraFieldLength = zip::Read16(h + zip::kCentralExtraLength);
  e.FileCommentLen = zip::Read16(h + zip::kCentralCommentLength);
  e.StartOnDisk = zip::Read16(h + zip::kCentralDisk);
  e.IntFileAttrib = zip::Read16(h + zip::kCentralInternalAttributes);
  e.ExtFileAttrib = zip::Read32(h + zip::kCentralExternalAttributes);
  e.RelOffLocalHdr = zip::Read32(h + zip::kCentralLocalOffset);
  e.Encrypted = (e.Flag & 1) != 0;
  return e;
}

// Reads up to `size` bytes at `offset`; the number read.
std::int64_t ReadAt(std::ifstream& file, std::int64_t offset, char* buffer, std::int64_t size) {
  file.clear();
  if (!file.seekg(offset)) return -1;
  file.read(buffer, size);
  return file.gcount();
}

bool ReadExactly(std::ifstream& file, std::string& out, std::size_t size) {
  out.resize(size);
  if (size == 0) return true;
  file.read(out.data(), static_cast<std::streamsize>(size));
  return static_cast<std::size_t>(file.gcount()) == size;
}

bool StartsSpanned(std::ifstream& file) {
  unsigned char head[8];
  return ReadAt(file, 0, reinterpret_cast<char*>(head), 8) == 8 &&
         zip::Read32(head) == zip::kSpanSignature && zip::Read32(head + 4) == zip::kLocalSignature;
}

// The size, from a seek to the end; -1 when that fails.
std::int64_t FileSize(std::ifstream& file) {
  file.clear();
  file.seekg(0, std::ios::end);
  return file.good() ? static_cast<std::int64_t>(file.tellg()) : -1;
}

std::string FromOem(const std::string& text, bool oem) {
  return oem ? platform::ToUtf8(text, platform::CodePage::kOem866) : text;
}

}  // namespace

bool ConvertsFromOem(CodePageOpts code_page, std::uint8_t host, std::uint8_t version_made_by,
                     std::uint16_t flags) {
  // Bit 11 says the name is UTF-8 already; converting it again would garble it.
  if (flags & 0x0800) return false;
  if (code_page == CodePageOpts::cpOEM) return true;
  if (code_page != CodePageOpts::cpAuto) return false;
  return host == 0 || host == 6 || (host == 11 && version_made_by == 50);
}

struct TArchiveWorker::ReadState {
  std::ifstream file;
  std::int64_t size = 0;
  // The file's last bytes, the end record among them, and where they start.
  std::string tail;
  std::int64_t tail_start = 0;
  std::int64_t end_pos = -1;
  EndRecord end;
  std::string raw_comment;
  std::int64_t central_start = 0;
};

void TArchiveWorker::List() {
  ResetDirectory();
  if (!active_) {
    list_pending_ = true;
    return;
  }
  list_pending_ = false;
  if (zip_file_name_.empty() || !platform::FileExists(zip_file_name_)) {
    // A new archive is about to be made: nothing to read and nothing to say.
    if (Events().OnDirUpdate) Events().OnDirUpdate();
    return;
  }
  StartWaitCursor();
  ReadState state;
  try {
    ReadDirectory(state);
  } catch (const EArchiveError& e) {
    ShowExceptionError(e);
    entries_.clear();
    zip_file_name_.clear();
  } catch (const std::bad_alloc&) {
    ShowArchiveMessage(kArchiveNoMemory);
    entries_.clear();
    zip_file_name_.clear();
  } catch (const std::exception& e) {
    ShowArchiveMessage(kArchiveListError, e.what());
    entries_.clear();
    zip_file_name_.clear();
  }
  ReportProgress(ProgressType::EndOfBatch, {}, 0);
  StopWaitCursor();
  state.file.close();
  if (Events().OnDirUpdate) Events().OnDirUpdate();
}

void TArchiveWorker::ReadDirectory(ReadState& state) {
  OpenArchive(state);
  FindEndRecord(state);
  ReadArchiveComment(state);
  LocateCentralDirectory(state);
  std::uint8_t comment_host = 0;
  std::uint8_t comment_version = 20;
  std::int64_t lowest = state.end.central_offset;
  for (int n = 0; n < state.end.total_entries; ++n) {
    ZipDirEntry e = ReadCentralHeader(state.file);
    // The archive comment is decoded like the last entry that names its host.
    if (e.HostVersionNo != 0) {
      comment_host = e.HostVersionNo;
      comment_version = e.MadeByVersion;
    }
    lowest = std::min<std::int64_t>(lowest, e.RelOffLocalHdr);
    AddEntry(std::move(e));
    ReportProgress(ProgressType::ExtraUpdate, {}, 1);
    if (cancel_) throw EArchiveError(kArchiveUserCancelled);
  }
  disk_no_ = state.end.this_disk;
  lowest_local_offset_ =
      lowest + (state.central_start - static_cast<std::int64_t>(state.end.central_offset));
  bool oem_comment = ConvertsFromOem(settings_.CodePage, comment_host, comment_version, 0);
  zip_comment_ = FromOem(state.raw_comment, oem_comment);
}

void TArchiveWorker::OpenArchive(ReadState& state) {
  state.file.open(zip_file_name_, std::ios::binary);
  if (!state.file.is_open()) {
    ShowArchiveMessage(kArchiveFileOpen);
    throw EArchiveError(kArchiveNotValidZip);
  }
  if (StartsSpanned(state.file)) spanned_ = true;
  state.size = FileSize(state.file);
  if (state.size < kEndRecordSize || state.size > 0xFFFFFFFFLL) {
    if (state.size > 0xFFFFFFFFLL)
      VerboseNote("Opening EOC seek/size error " + std::to_string(state.size >> 20) + "Mb");
    throw EArchiveError(kArchiveNotValidZip);
  }
}

void TArchiveWorker::FindEndRecord(ReadState& state) {
  // First read: an end record without a comment is the last 22 bytes.
  state.tail_start = state.size - kEndRecordSize;
  state.tail.resize(kEndRecordSize);
  if (ReadAt(state.file, state.tail_start, state.tail.data(), kEndRecordSize) == kEndRecordSize &&
      zip::Read32(state.tail, 0) == zip::kEndSignature) {
    state.end_pos = state.tail_start;
    state.end = ParseEnd(reinterpret_cast<const unsigned char*>(state.tail.data()));
    return;
  }
  // Second read: the largest comment plus the record, searched backwards in memory.
  std::int64_t span = std::min(state.size, kMaxCommentSize + kEndRecordSize);
  state.tail_start = state.size - span;
  state.tail.assign(static_cast<std::size_t>(span), '\0');
  if (ReadAt(state.file, state.tail_start, state.tail.data(), span) == span) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(state.tail.data());
    for (std::int64_t i = span - kEndRecordSize - 1; i >= 0; --i) {
      if (zip::Read32(bytes + i) == zip::kEndSignature) {
        state.end_pos = state.tail_start + i;
        state.end = ParseEnd(bytes + i);
        return;
      }
    }
  }
  throw EArchiveError(kArchiveNotValidZip);
}

void TArchiveWorker::ReadArchiveComment(ReadState& state) {
  // The comment, as far as the file holds it, and what follows it.
  std::int64_t after_record = state.end_pos + kEndRecordSize;
  std::int64_t comment_length =
      std::min<std::int64_t>(state.end.comment_length, state.size - after_record);
  state.raw_comment.assign(static_cast<std::size_t>(comment_length), '\0');
  if (comment_length > 0) {
    std::size_t at = static_cast<std::size_t>(after_record - state.tail_start);
    state.raw_comment = state.tail.substr(at, static_cast<std::size_t>(comment_length));
  }
  effective_size_ = after_record + comment_length;
  std::int64_t trailing = state.size - effective_size_;
  if (trailing > 0) {
    std::size_t at = static_cast<std::size_t>(effective_size_ - state.tail_start);
    bool harmless = trailing < kHarmlessTrailMax;
    for (std::size_t i = at; harmless && i < state.tail.size(); ++i)
      harmless = static_cast<unsigned char>(state.tail[i]) < kHarmlessTrailLimit;
    if (!harmless) ShowArchiveMessage(kArchiveGarbageWarning);
  }
}

void TArchiveWorker::LocateCentralDirectory(ReadState& state) {
  const EndRecord& end = state.end;
  // Entries on other disks would need the rest of a spanned set, which this program never has.
  if (end.central_disk != end.this_disk) throw EArchiveError(kArchiveNotValidZip);
  state.central_start = state.end_pos - static_cast<std::int64_t>(end.central_size);
  if (state.central_start < 0) throw EArchiveError(kArchiveSeekError);
  if (state.central_start != static_cast<std::int64_t>(end.central_offset))
    ShowArchiveMessage(kArchiveStructureWarning);
  central_dir_offset_ = state.central_start;

  state.file.clear();
  if (!state.file.seekg(state.central_start)) throw EArchiveError(kArchiveSeekError);
  ReportProgress(ProgressType::NewExtra, ArchiveLoadStr(kArchiveLoadingDirectory),
                 end.total_entries);
  // A damaged count must not make a tiny file reserve megabytes.
  entries_.reserve(std::min<std::size_t>(end.total_entries, end.central_size / kCentralHeaderSize));
}

ZipDirEntry TArchiveWorker::ReadCentralHeader(std::ifstream& file) const {
  unsigned char h[kCentralHeaderSize];
  file.read(reinterpret_cast<char*>(h), kCentralHeaderSize);
  if (file.gcount() != kCentralHeaderSize) throw EArchiveError(kArchiveCentralHeaderRead);
  if (zip::Read32(h) != zip::kCentralSignature) throw EArchiveError(kArchiveCentralSignature);
  ZipDirEntry e = ParseCentralHeader(h);

  std::string name;
  if (!ReadExactly(file, name, e.FileNameLength)) throw EArchiveError(kArchiveCentralNameRead);
  bool oem = ConvertsFromOem(settings_.CodePage, e.HostVersionNo, e.MadeByVersion, e.Flag);
  e.FileName = PlatformSeparators(FromOem(name, oem));
  if (!ReadExactly(file, e.ExtraData, e.ExtraFieldLength)) throw EArchiveError(kArchiveSeekError);
  std::string comment;
  if (!ReadExactly(file, comment, e.FileCommentLen)) throw EArchiveError(kArchiveCommentRead);
  e.FileComment = FromOem(comment, oem);
  return e;
}

void TArchiveWorker::AddEntry(ZipDirEntry entry) {
  bool directory_only = entry.FileName.empty() || entry.FileName.back() == platform::kPathSeparator;
  if (!settings_.UseDirOnlyEntries && directory_only) {
    ++dir_only_count_;
    return;
  }
  entries_.push_back(std::move(entry));
  if (Events().OnNewName) Events().OnNewName(static_cast<int>(entries_.size()), entries_.back());
}

}  // namespace korvel

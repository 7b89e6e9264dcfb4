// TArchiveWorker: directory reading, command records, engine runs and callback answers.
#include "archive/ArchiveWorker.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <cstring>
#include <fstream>
#include <new>
#include <stdexcept>

#include "archive/ArchiveMessages.h"
#include "platform/CodePage.h"
#include "platform/Files.h"

namespace korvel {
namespace {

constexpr std::uint32_t kEndSignature = 0x06054B50;
constexpr std::uint32_t kCentralSignature = 0x02014B50;
constexpr std::uint32_t kSpanSignature = 0x08074B50;
constexpr std::uint32_t kLocalSignature = 0x04034B50;
constexpr std::int64_t kEndRecordSize = 22;
constexpr std::int64_t kCentralHeaderSize = 46;
constexpr std::int64_t kMaxCommentSize = 65535;
// Trailing bytes this few and this small (spaces, line ends) are what transfer tools append.
constexpr std::int64_t kHarmlessTrailMax = 512;
constexpr unsigned char kHarmlessTrailLimit = 0x2F;
constexpr std::size_t kMaxPasswordAnswer = 80;
constexpr std::size_t kMaxRecordPassword = 81;
constexpr std::uint32_t kMaxPasswordRepeats = 15;
constexpr std::size_t kMaxCallbackText = 512;

std::uint16_t Le16(const unsigned char* p) {
  return static_cast<std::uint16_t>(p[0] | p[1] << 8);
}
std::uint32_t Le32(const unsigned char* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

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
  r.this_disk = Le16(p + 4);
  r.central_disk = Le16(p + 6);
  r.total_entries = Le16(p + 10);
  r.central_size = Le32(p + 12);
  r.central_offset = Le32(p + 16);
  r.comment_length = Le16(p + 20);
  return r;
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

std::string PlatformSeparators(std::string name) {
  if (platform::kPathSeparator != '/')
    std::replace(name.begin(), name.end(), '/', platform::kPathSeparator);
  return name;
}

std::string Trim(std::string_view s) {
  std::size_t b = s.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  std::size_t e = s.find_last_not_of(' ');
  return std::string(s.substr(b, e - b + 1));
}

std::string FolderOf(const std::string& path) {
  std::size_t cut = path.find_last_of(platform::kPathSeparator);
  if (cut == std::string::npos) return {};
  if (cut == 0) return std::string(1, platform::kPathSeparator);
  return path.substr(0, cut);
}

std::string FullPath(const std::string& path) {
  if (path.empty() || path[0] == platform::kPathSeparator) return path;
  return platform::JoinPath(platform::CurrentDirectory(), path);
}

// Creates `folder` with every missing parent; false when it does not exist afterwards.
bool ForceDirectories(const std::string& folder) {
  if (folder.empty() || platform::DirectoryExists(folder)) return true;
  std::string parent = FolderOf(folder);
  if (!parent.empty() && parent != folder && !ForceDirectories(parent)) return false;
  try {
    platform::CreateDirectory(folder);
  } catch (const std::exception&) {
    // Someone else may have made it meanwhile; only the outcome counts.
  }
  return platform::DirectoryExists(folder);
}

// "mm dd yy" of a day count since 1899-12-30.
void FormatAddFrom(platform::DateTime date, char (&out)[8]) {
  // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
  std::int64_t z = static_cast<std::int64_t>(date) - 25569 + 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t y = yoe + era * 400;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
  std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  auto two = [](std::int64_t v, char* at) {
    v = ((v % 100) + 100) % 100;
    at[0] = static_cast<char>('0' + v / 10);
    at[1] = static_cast<char>('0' + v % 10);
  };
  two(m, out);
  out[2] = ' ';
  two(d, out + 3);
  out[5] = ' ';
  two(y, out + 6);
}

void CopyAnswer(EngineCallbackRecord& record, std::string_view text) {
  std::size_t n = std::min<std::size_t>(text.size(), KORVEL_CALLBACK_TEXT_SIZE - 1);
  std::memcpy(record.Text.Buffer, text.data(), n);
  record.Text.Buffer[n] = '\0';
}

}  // namespace

std::string NormalizeStoreSuffixes(std::string_view text) {
  std::string out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(",:;", start);
    if (end == std::string_view::npos) end = text.size();
    std::string item = Trim(text.substr(start, end - start));
    if (!item.empty()) {
      if (item[0] != '.') out += '.';
      out += item;
      out += ':';
    }
    start = end + 1;
  }
  std::transform(out.begin(), out.end(), out.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return out;
}

std::string StoreSuffixList(const AddStoreExts& suffixes, std::string_view ext) {
  static constexpr std::array<const char*, 18> kSuffixes{"gif", "png", "z",   "zip",  "zoo", "arc",
                                                         "lzh", "arj", "taz", "tgz",  "lha", "rar",
                                                         "ace", "cab", "gz",  "gzip", "jar", "exe"};
  std::string list;
  for (std::size_t i = 0; i < kSuffixes.size(); ++i) {
    if (suffixes.Contains(static_cast<AddStoreSuffixEnum>(i))) {
      list += '.';
      list += kSuffixes[i];
      list += ':';
    }
  }
  if (suffixes.Contains(AddStoreSuffixEnum::assEXT)) list += ext;
  if (!list.empty()) list.pop_back();
  return list;
}

bool ConvertsFromOem(CodePageOpts code_page, std::uint8_t host, std::uint8_t version_made_by,
                     std::uint16_t flags) {
  // Bit 11 says the name is UTF-8 already; converting it again would garble it.
  if (flags & 0x0800) return false;
  if (code_page == CodePageOpts::cpOEM) return true;
  if (code_page != CodePageOpts::cpAuto) return false;
  return host == 0 || host == 6 || (host == 11 && version_made_by == 50);
}

TArchiveWorker::TArchiveWorker()
    : pack_engine_(std::make_unique<TPackEngine>(*this)),
      unpack_engine_(std::make_unique<TUnpackEngine>(*this)) {}

TArchiveWorker::~TArchiveWorker() {
  active_ = false;
  SetEvents({});
}

void TArchiveWorker::SetActive(bool active) {
  active_ = active;
  if (active_ && list_pending_) List();
}

void TArchiveWorker::ResetDirectory() {
  entries_.clear();
  zip_comment_.clear();
  central_dir_offset_ = 0;
  effective_size_ = 0;
  lowest_local_offset_ = 0;
  disk_no_ = 0;
  spanned_ = false;
  dir_only_count_ = 0;
  ClearError();
}

struct TArchiveWorker::ReadState {
  std::ifstream file;
  bool found = false;
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
  std::ifstream& file = state.file;
  file.open(zip_file_name_, std::ios::binary);
  if (!file.is_open()) {
    ShowArchiveMessage(kArchiveFileOpen);
    throw EArchiveError(kArchiveNotValidZip);
  }

  unsigned char head[8];
  if (ReadAt(file, 0, reinterpret_cast<char*>(head), 8) == 8 && Le32(head) == kSpanSignature &&
      Le32(head + 4) == kLocalSignature)
    spanned_ = true;

  // The size, from a seek to where an end record without comment would start.
  file.clear();
  file.seekg(0, std::ios::end);
  std::int64_t size = file.good() ? static_cast<std::int64_t>(file.tellg()) : -1;
  if (size < kEndRecordSize || size > 0xFFFFFFFFLL) {
    if (size > 0xFFFFFFFFLL)
      VerboseNote("Opening EOC seek/size error " + std::to_string(size >> 20) + "Mb");
    throw EArchiveError(kArchiveNotValidZip);
  }

  // First read: an end record without a comment is the last 22 bytes.
  std::int64_t end_pos = -1;
  EndRecord end;
  std::string tail;
  std::int64_t tail_start = size - kEndRecordSize;
  tail.resize(kEndRecordSize);
  if (ReadAt(file, tail_start, tail.data(), kEndRecordSize) == kEndRecordSize &&
      Le32(reinterpret_cast<const unsigned char*>(tail.data())) == kEndSignature) {
    end_pos = tail_start;
    end = ParseEnd(reinterpret_cast<const unsigned char*>(tail.data()));
  } else {
    // Second read: the largest comment plus the record, searched backwards in memory.
    std::int64_t span = std::min(size, kMaxCommentSize + kEndRecordSize);
    tail_start = size - span;
    tail.assign(static_cast<std::size_t>(span), '\0');
    if (ReadAt(file, tail_start, tail.data(), span) == span) {
      const auto* bytes = reinterpret_cast<const unsigned char*>(tail.data());
      for (std::int64_t i = span - kEndRecordSize - 1; i >= 0; --i) {
        if (Le32(bytes + i) == kEndSignature) {
          end_pos = tail_start + i;
          end = ParseEnd(bytes + i);
          break;
        }
      }
    }
  }
  if (end_pos < 0) throw EArchiveError(kArchiveNotValidZip);

  // The comment, as far as the file holds it, and what follows it.
  std::int64_t after_record = end_pos + kEndRecordSize;
  std::int64_t comment_length = std::min<std::int64_t>(end.comment_length, size - after_record);
  std::string raw_comment(static_cast<std::size_t>(comment_length), '\0');
  if (comment_length > 0) {
    std::size_t at = static_cast<std::size_t>(after_record - tail_start);
    raw_comment = tail.substr(at, static_cast<std::size_t>(comment_length));
  }
  effective_size_ = after_record + comment_length;
  std::int64_t trailing = size - effective_size_;
  if (trailing > 0) {
    std::size_t at = static_cast<std::size_t>(effective_size_ - tail_start);
    bool harmless = trailing < kHarmlessTrailMax;
    for (std::size_t i = at; harmless && i < tail.size(); ++i)
      harmless = static_cast<unsigned char>(tail[i]) < kHarmlessTrailLimit;
    if (!harmless) ShowArchiveMessage(kArchiveGarbageWarning);
  }

  // Entries on other disks would need the rest of a spanned set, which this program never has.
  if (end.central_disk != end.this_disk) throw EArchiveError(kArchiveNotValidZip);
  std::int64_t central_start = end_pos - static_cast<std::int64_t>(end.central_size);
  if (central_start < 0) throw EArchiveError(kArchiveSeekError);
  if (central_start != static_cast<std::int64_t>(end.central_offset))
    ShowArchiveMessage(kArchiveStructureWarning);
  central_dir_offset_ = central_start;

  file.clear();
  if (!file.seekg(central_start)) throw EArchiveError(kArchiveSeekError);
  ReportProgress(ProgressType::NewExtra, ArchiveLoadStr(kArchiveLoadingDirectory),
                 end.total_entries);
  // A damaged count must not make a tiny file reserve megabytes.
  entries_.reserve(std::min<std::size_t>(end.total_entries, end.central_size / kCentralHeaderSize));

  std::int64_t lowest = end.central_offset;
  std::uint8_t comment_host = 0;
  std::uint8_t comment_version = 20;
  for (int n = 0; n < end.total_entries; ++n) {
    unsigned char h[kCentralHeaderSize];
    file.read(reinterpret_cast<char*>(h), kCentralHeaderSize);
    if (file.gcount() != kCentralHeaderSize) throw EArchiveError(kArchiveCentralHeaderRead);
    if (Le32(h) != kCentralSignature) throw EArchiveError(kArchiveCentralSignature);
    ZipDirEntry e;
    e.MadeByVersion = h[4];
    e.HostVersionNo = h[5];
    e.VersionNeeded = Le16(h + 6);
    e.Flag = Le16(h + 8);
    e.CompressionMethod = Le16(h + 10);
    e.DateTime = Le32(h + 12);
    e.CRC32 = Le32(h + 16);
    e.CompressedSize = Le32(h + 20);
    e.UncompressedSize = Le32(h + 24);
    e.FileNameLength = Le16(h + 28);
    e.ExtraFieldLength = Le16(h + 30);
    e.FileCommentLen = Le16(h + 32);
    e.StartOnDisk = Le16(h + 34);
    e.IntFileAttrib = Le16(h + 36);
    e.ExtFileAttrib = Le32(h + 38);
    e.RelOffLocalHdr = Le32(h + 42);
    e.Encrypted = (e.Flag & 1) != 0;

    std::string name;
    if (!ReadExactly(file, name, e.FileNameLength)) throw EArchiveError(kArchiveCentralNameRead);
    bool oem = ConvertsFromOem(settings_.CodePage, e.HostVersionNo, e.MadeByVersion, e.Flag);
    e.FileName =
        PlatformSeparators(oem ? platform::ToUtf8(name, platform::CodePage::kOem866) : name);
    if (!ReadExactly(file, e.ExtraData, e.ExtraFieldLength)) throw EArchiveError(kArchiveSeekError);
    std::string comment;
    if (!ReadExactly(file, comment, e.FileCommentLen)) throw EArchiveError(kArchiveCommentRead);
    e.FileComment = oem ? platform::ToUtf8(comment, platform::CodePage::kOem866) : comment;

    if (e.HostVersionNo != 0) {
      comment_host = e.HostVersionNo;
      comment_version = e.MadeByVersion;
    }
    lowest = std::min<std::int64_t>(lowest, e.RelOffLocalHdr);

    bool directory_only = e.FileName.empty() || e.FileName.back() == platform::kPathSeparator;
    if (settings_.UseDirOnlyEntries || !directory_only) {
      entries_.push_back(std::move(e));
      if (Events().OnNewName)
        Events().OnNewName(static_cast<int>(entries_.size()), entries_.back());
    } else {
      ++dir_only_count_;
    }
    ReportProgress(ProgressType::ExtraUpdate, {}, 1);
    if (cancel_) throw EArchiveError(kArchiveUserCancelled);
  }

  disk_no_ = end.this_disk;
  lowest_local_offset_ = lowest + (central_start - static_cast<std::int64_t>(end.central_offset));
  bool oem_comment = ConvertsFromOem(settings_.CodePage, comment_host, comment_version, 0);
  zip_comment_ =
      oem_comment ? platform::ToUtf8(raw_comment, platform::CodePage::kOem866) : raw_comment;
}

namespace {

// Empties the pattern lists however an operation ends.
class PatternListsEmptier {
 public:
  PatternListsEmptier(std::vector<std::string>& specs, std::vector<std::string>* excl = nullptr)
      : specs_(specs), excl_(excl) {}
  ~PatternListsEmptier() {
    specs_.clear();
    if (excl_ != nullptr) excl_->clear();
  }
  PatternListsEmptier(const PatternListsEmptier&) = delete;
  PatternListsEmptier& operator=(const PatternListsEmptier&) = delete;

 private:
  std::vector<std::string>& specs_;
  std::vector<std::string>* excl_;
};

std::int32_t Flag(bool on) {
  return on ? -1 : 0;
}

}  // namespace

void TArchiveWorker::ShowEngineRunError(const EArchiveError& error) {
  EArchiveError shown = error;
  if (handler_exception_) shown.SetMessage(shown.Message() + handler_exception_note_);
  ShowExceptionError(shown);
}

int TArchiveWorker::Extract() {
  PatternListsEmptier emptier(fspec_args_);
  success_count_ = 0;
  ClearError();
  if (zip_file_name_.empty()) {
    ShowArchiveMessage(kArchiveNoZipSpecified);
    return ErrCode();
  }
  if (entries_.empty()) {
    List();
    if (entries_.empty()) {
      if (ErrCode() == 0) ShowArchiveMessage(kArchiveFileOpen);
      return ErrCode();
    }
  }
  if (unpack_busy_) return ErrCode();

  std::uint32_t password_requests = std::min(settings_.PasswordReqCount, kMaxPasswordRepeats);
  if (Unattended() && settings_.Password.empty() && !Events().OnPasswordError) {
    password_requests = 0;
    ShowArchiveMessage(kArchiveUnattendedExtract);
  }

  cancel_ = false;
  unpack_busy_ = true;
  handler_exception_ = false;
  handler_exception_note_.clear();
  bool acquired = false;
  try {
    std::int32_t version = unpack_engine_->Acquire();
    acquired = true;
    const ExtrOpts& o = settings_.ExtrOptions;
    bool test = o.Contains(ExtrOptsEnum::ExtrTest);
    bool update = o.Contains(ExtrOptsEnum::ExtrUpdate);
    std::string base_dir;
    if (!settings_.ExtrBaseDir.empty() && !test) {
      base_dir = settings_.ExtrBaseDir;
      if (o.Contains(ExtrOptsEnum::ExtrForceDirs)) ForceDirectories(base_dir);
      if (!platform::DirectoryExists(base_dir)) throw EArchiveError(kArchiveNoExtractDir, base_dir);
    }

    std::vector<UnpackFileSpec> specs;
    if (!fspec_args_.empty() && fspec_args_.front() != "*.*") {
      specs.resize(fspec_args_.size());
      for (std::size_t i = 0; i < fspec_args_.size(); ++i)
        specs[i].FileSpec = fspec_args_[i].c_str();
    }

    UnpackCommandRecord rec;
    std::memset(&rec, 0, sizeof rec);
    rec.Handle = Unattended() ? nullptr : ArchiveUiHooks().ApplicationWindow;
    rec.Caller = this;
    rec.Version = version;
    rec.Callback = &TArchiveWorker::Callback;
    rec.Trace = Flag(Trace());
    rec.Password = settings_.Password.c_str();
    rec.Test = Flag(test);
    rec.Quiet = -1;
    rec.Verbose = Flag(Verbose() || Trace());
    rec.Update = Flag(update);
    rec.Freshen = Flag(o.Contains(ExtrOptsEnum::ExtrFreshen) && !update);
    rec.DirNames = Flag(o.Contains(ExtrOptsEnum::ExtrDirNames));
    rec.Overwrite = Flag(o.Contains(ExtrOptsEnum::ExtrOverWrite));
    rec.SpecCount = static_cast<std::int32_t>(specs.size());
    rec.ZipFileName = zip_file_name_.c_str();
    rec.Specs = specs.empty() ? nullptr : specs.data();
    rec.PasswordRequests = static_cast<std::int32_t>(password_requests);
    rec.BaseDir = base_dir.empty() ? nullptr : base_dir.c_str();
    rec.RecordMark = KORVEL_RECORD_RECORD_MARK;
    success_count_ = unpack_engine_->Exec(rec);
  } catch (const EArchiveError& e) {
    ShowEngineRunError(e);
    success_count_ = 0;
  } catch (const std::exception&) {
    ShowArchiveMessage(kArchiveFatalUnz);
    success_count_ = 0;
  }
  if (acquired) unpack_engine_->Release();
  cancel_ = false;
  unpack_busy_ = false;
  return ErrCode();
}

int TArchiveWorker::Add() {
  PatternListsEmptier emptier(fspec_args_, &fspec_args_excl_);
  success_count_ = 0;
  AddOpts options = settings_.AddOptions;
  std::vector<std::string> lines = fspec_args_;
  if (lines.empty()) {
    if (options.Contains(AddOptsEnum::AddFreshen) || options.Contains(AddOptsEnum::AddUpdate)) {
      options.Exclude(AddOptsEnum::AddUpdate).Include(AddOptsEnum::AddFreshen);
      lines.push_back("*.*");
    } else {
      ShowArchiveMessage(kArchiveNothingToZip);
      return ErrCode();
    }
  }
  if (options.Contains(AddOptsEnum::AddDiskSpanErase)) {
    options.Include(AddOptsEnum::AddDiskSpan);
    settings_.SpanOptions.Include(SpanOptsEnum::spWipeFiles);
  }
  if (zip_file_name_.empty()) {
    ShowArchiveMessage(kArchiveNoZipSpecified);
    return ErrCode();
  }
  if (Unattended() && options.Contains(AddOptsEnum::AddEncrypt) && settings_.Password.empty()) {
    ShowArchiveMessage(kArchiveUnattendedNoPassword);
    return ErrCode();
  }
  if (pack_busy_) return ErrCode();

  ClearError();
  cancel_ = false;
  handler_exception_ = false;
  handler_exception_note_.clear();
  bool acquired = false;
  bool cursor = false;
  try {
    pack_engine_->Acquire();
    acquired = true;
    pack_busy_ = true;
    StartWaitCursor();
    cursor = true;

    std::string archive = FullPath(zip_file_name_);
    std::string folder = FolderOf(archive);
    if (options.Contains(AddOptsEnum::AddForceDest)) ForceDirectories(folder);
    if (!folder.empty() && !platform::DirectoryExists(folder))
      throw EArchiveError(kArchiveNoDestinationDir, folder);

    std::string password = settings_.Password.substr(0, kMaxRecordPassword);
    std::string suffixes =
        StoreSuffixList(settings_.AddStoreSuffixes, settings_.ExtAddStoreSuffixes);
    std::string root = settings_.RootDir.empty() ? std::string() : FullPath(settings_.RootDir);
    bool encrypt = options.Contains(AddOptsEnum::AddEncrypt);
    std::uint16_t recurse = options.Contains(AddOptsEnum::AddRecurseDirs) ? 0xFFFF : 0;

    // Strings the pattern entries point at; reserved so they never move.
    std::vector<std::string> texts;
    texts.reserve(lines.size() * 2);
    std::vector<PackFileSpec> specs(lines.size());
    for (std::size_t i = 0; i < lines.size(); ++i) {
      std::string_view line = lines[i];
      PackFileSpec& entry = specs[i];
      entry.Recurse = recurse;
      entry.Encrypt = Flag(encrypt);
      const char* line_password = password.empty() ? nullptr : password.c_str();
      if (!line.empty() && line[0] == '>') {
        entry.Recurse = 0xFFFF;
        line.remove_prefix(1);
      } else if (!line.empty() && line[0] == '|') {
        entry.Recurse = 0;
        line.remove_prefix(1);
      }
      std::size_t mark = line.find('<');
      if (mark != std::string_view::npos) {
        std::string_view after = line.substr(mark + 1);
        if (after.empty() || after[0] == ' ') {
          // "<" alone or before a space: this line goes in without encryption.
          entry.Encrypt = 0;
          line_password = nullptr;
        } else {
          texts.emplace_back(after.substr(0, kMaxRecordPassword));
          line_password = texts.back().c_str();
          entry.Encrypt = 0xFFFF;
        }
        line = line.substr(0, mark);
      }
      entry.Password = line_password;
      texts.push_back(Trim(line));
      entry.FileSpec = texts.back().empty() ? nullptr : texts.back().c_str();
    }
    std::vector<const char*> excludes;
    for (const std::string& e : fspec_args_excl_) excludes.push_back(e.c_str());

    PackCommandRecord rec;
    std::memset(&rec, 0, sizeof rec);
    rec.Handle = ArchiveUiHooks().ApplicationWindow;
    rec.Caller = this;
    rec.Version = KORVEL_ENGINE_VERSION;
    rec.Callback = &TArchiveWorker::Callback;
    rec.Trace = Flag(Trace());
    rec.Password = password.empty() ? nullptr : password.c_str();
    rec.StoreSuffixes = suffixes.empty() ? nullptr : suffixes.c_str();
    rec.Encrypt = Flag(encrypt);
    rec.HiddenFiles = Flag(options.Contains(AddOptsEnum::AddHiddenFiles));
    rec.Volume = Flag(options.Contains(AddOptsEnum::AddVolume));
    rec.NoDirEntries = Flag(!options.Contains(AddOptsEnum::AddSeparateDirs));
    rec.FromDate = Flag(options.Contains(AddOptsEnum::AddFromDate));
    rec.Verbose = Flag(Verbose() || Trace());
    rec.Quiet = -1;
    rec.Level = settings_.AddCompLevel;
    rec.JunkDirNames = Flag(!options.Contains(AddOptsEnum::AddDirNames));
    rec.Recurse = recurse;
    rec.NotSafe = Flag(!options.Contains(AddOptsEnum::AddSafe));
    rec.ForceDos = Flag(options.Contains(AddOptsEnum::AddForceDOS));
    rec.Move = Flag(options.Contains(AddOptsEnum::AddMove));
    bool update = options.Contains(AddOptsEnum::AddUpdate);
    rec.Update = Flag(update);
    rec.Freshen = Flag(options.Contains(AddOptsEnum::AddFreshen) && !update);
    rec.ZipTime = Flag(options.Contains(AddOptsEnum::AddZipTime));
    FormatAddFrom(settings_.AddFrom, rec.Date);
    rec.SpecCount = static_cast<std::int32_t>(specs.size());
    rec.ZipFileName = archive.c_str();
    rec.TempDir = settings_.TempDir.empty() ? nullptr : settings_.TempDir.c_str();
    rec.Comment = zip_comment_.empty() ? nullptr : zip_comment_.c_str();
    rec.ArchiveOnly = options.Contains(AddOptsEnum::AddArchiveOnly) ? 1 : 0;
    rec.ResetArchive = options.Contains(AddOptsEnum::AddResetArchive) ? 1 : 0;
    rec.Specs = specs.data();
    rec.ExcludeCount = static_cast<std::int32_t>(excludes.size());
    rec.Excludes = excludes.empty() ? nullptr : excludes.data();
    rec.AllowUndo = Flag(settings_.HowToDelete == DeleteOpts::htdAllowUndo);
    rec.CodePage = settings_.CodePage == CodePageOpts::cpOEM ? 2 : 0;
    rec.Version2 = KORVEL_ENGINE_VERSION;
    rec.RootDir = root.empty() ? nullptr : root.c_str();
    rec.RecordMark = KORVEL_RECORD_RECORD_MARK;
    success_count_ = pack_engine_->Exec(rec);
  } catch (const EArchiveError& e) {
    ShowEngineRunError(e);
    success_count_ = 0;
  } catch (const std::exception&) {
    ShowArchiveMessage(kArchiveFatalZip);
    success_count_ = 0;
  }
  if (cursor) StopWaitCursor();
  if (acquired) pack_engine_->Release();
  cancel_ = false;
  pack_busy_ = false;
  if (success_count_ > 0) {
    int err = ErrCode();
    std::string message = Message();
    List();
    // The new directory's reading must not hide what the engine reported.
    if (ErrCode() == 0 && err != 0) SetErrorState(err, message);
  }
  return ErrCode();
}

std::int32_t KORVEL_RECORD_CALL TArchiveWorker::Callback(EngineCallbackRecord* record) {
  if (record == nullptr || record->Caller == nullptr) return 1;
  auto* worker = static_cast<TArchiveWorker*>(record->Caller);
  // Nothing may unwind into the engine.
  try {
    return worker->HandleCallback(*record);
  } catch (...) {
    worker->cancel_ = true;
    return 1;
  }
}

void TArchiveWorker::NoteHandlerException(int action, const char* what) {
  cancel_ = true;
  if (handler_exception_) return;
  handler_exception_ = true;
  handler_exception_note_ = " #" + std::to_string(action) + " \"" + what + "\"";
}

std::int32_t TArchiveWorker::HandleCallback(EngineCallbackRecord& record) {
  int action = KORVEL_CALLBACK_CODE_ACTION(record.Code);
  // The engine's text: in the buffer, or behind the pointer when the buffer starts with 0.
  std::string text;
  if (record.Text.Indirect.Zero == 0) {
    if (record.Text.Indirect.Text != nullptr)
      text.assign(record.Text.Indirect.Text, strnlen(record.Text.Indirect.Text, kMaxCallbackText));
  } else {
    text.assign(record.Text.Buffer, strnlen(record.Text.Buffer, KORVEL_CALLBACK_TEXT_SIZE));
  }
  text = PlatformSeparators(std::move(text));
  int ident = KORVEL_CALLBACK_CODE_MESSAGE_ID(record.Code);
  if (ident != 0) {
    if (auto known = FindArchiveText(ident)) {
      // The name part starts at the P-th character (1-based) and runs to the end.
      std::size_t pos = static_cast<std::size_t>(KORVEL_CALLBACK_CODE_POSITION(record.Code));
      std::size_t start = pos == 0 ? 0 : pos - 1;
      text = *known + " " + (start < text.size() ? text.substr(start) : std::string());
    }
  }
  try {
    DispatchAction(action, record, text);
  } catch (const std::exception& e) {
    NoteHandlerException(action, e.what());
  } catch (...) {
    NoteHandlerException(action, "unknown exception");
  }
  Tick();
  if (handler_exception_) return kArchiveHandlerException;
  return cancel_ ? 1 : 0;
}

void TArchiveWorker::Tick() {
  try {
    if (Events().OnCheckTerminate) {
      bool abort = cancel_;
      Events().OnCheckTerminate(abort);
      if (abort) cancel_ = true;
    } else if (OnMainThread() && ArchiveUiHooks().ProcessMessages) {
      ArchiveUiHooks().ProcessMessages();
    }
  } catch (const std::exception& e) {
    NoteHandlerException(0, e.what());
  } catch (...) {
    NoteHandlerException(0, "unknown exception");
  }
}

void TArchiveWorker::DispatchAction(int action, EngineCallbackRecord& record,
                                    const std::string& text) {
  const TArchiveEvents& ev = Events();
  switch (action) {
    case kCallbackActionTick:
      if (ev.OnTick) ev.OnTick();
      break;
    case kCallbackActionNewFile:
      ReportProgress(ProgressType::NewFile, text, static_cast<std::uint32_t>(record.Arg1));
      break;
    case kCallbackActionProgress:
      ReportProgress(ProgressType::ProgressUpdate, {}, static_cast<std::uint32_t>(record.Arg1));
      break;
    case kCallbackActionEndOfBatch:
      ReportProgress(ProgressType::EndOfBatch, {}, 0);
      break;
    case kCallbackActionTotalFiles:
      ReportProgress(ProgressType::TotalFiles2Process, {}, record.Arg1);
      break;
    case kCallbackActionTotalSize:
      ReportProgress(ProgressType::TotalSize2Process, {}, static_cast<std::uint32_t>(record.Arg1));
      break;
    case kCallbackActionNewExtra:
      ReportProgress(ProgressType::NewExtra, text, static_cast<std::uint32_t>(record.Arg1));
      break;
    case kCallbackActionExtraProgress:
      ReportProgress(ProgressType::ExtraUpdate, {}, static_cast<std::uint32_t>(record.Arg1));
      break;
    case kCallbackActionMessage: {
      int err = record.Arg1;
      std::string message = text;
      if (err != 0) {
        if ((err & 0xFF) == 9 && handler_exception_)
          message = ArchiveLoadStr(kArchiveEventException);
        SetErrorState(err & 0xFF, message, err);
      }
      if (ev.OnMessage) ev.OnMessage(err & 0xFF, message);
      break;
    }
    case kCallbackActionNewName: {
      std::string name = text;
      bool changed = false;
      if (pack_busy_ && ev.OnSetAddName) {
        const char* ext = static_cast<const char*>(record.Data);
        ev.OnSetAddName(name, ext != nullptr ? ext : "", changed);
      } else if (!pack_busy_ && ev.OnSetNewName) {
        ev.OnSetNewName(name, changed);
      }
      record.Arg1 = changed ? 1 : 0;
      if (changed) CopyAnswer(record, name);
      break;
    }
    case kCallbackActionPassword:
      AnswerPassword(record, text);
      break;
    case kCallbackActionCrcError: {
      bool extract = true;
      if (ev.OnCRC32Error) {
        ev.OnCRC32Error(text, static_cast<std::uint32_t>(record.Arg1),
                        static_cast<std::uint32_t>(record.Arg2), extract);
        record.Arg1 = extract ? 1 : 0;
      } else {
        record.Arg1 = 2;  // nobody decided
      }
      break;
    }
    case kCallbackActionOverwrite:
      if (ev.OnExtractOverwrite) {
        bool overwrite = record.Arg2 != 0;
        ev.OnExtractOverwrite(text, record.Arg1 != 0, overwrite, 0);
        record.Arg2 = overwrite ? -1 : 0;
      }
      break;
    case kCallbackActionSkipped: {
      int err = record.Arg1;
      if (err != 0) SetErrorState(err & 0xFF, Message(), err);
      if (ev.OnExtractSkipped)
        ev.OnExtractSkipped(text, record.Arg2, err & 0xFF);
      else if (ev.OnMessage)
        ev.OnMessage(kArchiveSkipped,
                     ArchiveFmtLoadStr(kArchiveSkipped, {text, std::to_string(err)}));
      break;
    }
    case kCallbackActionFileComment:
      if (ev.OnFileComment) {
        std::string name(record.Text.Question.Name,
                         strnlen(record.Text.Question.Name, KORVEL_CALLBACK_NAME_SIZE));
        std::string comment(record.Text.Question.Comment,
                            strnlen(record.Text.Question.Comment, KORVEL_CALLBACK_COMMENT_SIZE));
        bool changed = false;
        ev.OnFileComment(name, comment, changed);
        record.Arg1 = changed ? 1 : 0;
        if (changed) {
          CopyAnswer(record, comment);
          record.Arg2 = static_cast<std::int32_t>(
              std::min<std::size_t>(comment.size(), KORVEL_CALLBACK_TEXT_SIZE - 1));
        }
      }
      break;
    case kCallbackActionStreamSize:
      // No memory stream in this program: the resize fails.
      record.Arg1 = 1;
      record.Arg2 = 0;
      break;
    case kCallbackActionFileExtra:
      if (ev.OnFileExtra) {
        std::string extra;
        if (record.Data != nullptr && record.Arg2 > 0)
          extra.assign(static_cast<const char*>(record.Data),
                       static_cast<std::size_t>(record.Arg2));
        bool changed = false;
        ev.OnFileExtra(text, extra, changed);
        if (changed) {
          extra_answer_ = std::move(extra);
          if (extra_answer_.size() < KORVEL_CALLBACK_TEXT_SIZE) {
            std::memcpy(record.Text.Buffer, extra_answer_.data(), extra_answer_.size());
          } else {
            record.Data = extra_answer_.data();
          }
          record.Arg2 = static_cast<std::int32_t>(extra_answer_.size());
          record.Arg1 = -1;
        }
      }
      break;
    case kCallbackActionExtractName:
      if (ev.OnSetExtName) {
        std::string name = text;
        bool changed = false;
        ev.OnSetExtName(name, changed);
        record.Arg1 = changed ? 1 : 0;
        if (changed) CopyAnswer(record, name);
      }
      break;
    default:
      break;
  }
}

void TArchiveWorker::AnswerPassword(EngineCallbackRecord& record, const std::string& file) {
  bool for_packing = record.IsZip != 0;
  std::string password;
  std::uint32_t repeats = static_cast<std::uint32_t>(std::max(0, record.Arg2));
  bool cancel_all = false;
  bool answered = false;
  if (Events().OnPasswordError) {
    Events().OnPasswordError(for_packing, password, file, repeats, cancel_all);
    answered = true;
  } else if (Unattended()) {
    ShowArchiveMessage(for_packing ? kArchiveNoAddPassword : kArchiveNoExtractPassword);
  } else if (for_packing) {
    std::string first = "Enter Password ";
    int r = ArchiveMessageDialog("Password", first, TArchiveBoxKind::kPassword,
                                 {TArchiveBoxButton::OK, TArchiveBoxButton::Cancel});
    if (r == kArchiveMrOk) {
      std::string second = "Confirm Password ";
      r = ArchiveMessageDialog("Password", second, TArchiveBoxKind::kPassword,
                               {TArchiveBoxButton::OK, TArchiveBoxButton::Cancel});
      if (r == kArchiveMrOk) {
        if (first == second) {
          password = first;
          answered = true;
        } else {
          ShowArchiveMessage(kArchivePasswordMismatch);
        }
      }
    }
    if (r != kArchiveMrOk && r != kArchiveMrCancel) cancel_ = true;
  } else {
    std::string entry = "Enter Password ";
    int r = ArchiveMessageDialog(
        "Password", entry, TArchiveBoxKind::kPassword,
        {TArchiveBoxButton::OK, TArchiveBoxButton::Cancel, TArchiveBoxButton::CancelAll});
    if (r == kArchiveMrOk) {
      password = entry;
      answered = true;
    } else if (r == kArchiveMrCancelAll) {
      cancel_all = true;
    } else if (r != kArchiveMrCancel) {
      cancel_ = true;
    }
  }
  password.resize(std::min(password.size(), kMaxPasswordAnswer));
  record.Arg2 = static_cast<std::int32_t>(std::min(repeats, kMaxPasswordRepeats));
  if (answered && !password.empty()) {
    CopyAnswer(record, password);
    record.Arg1 = 1;
  } else {
    record.Arg1 = 0;
    record.Arg2 = 0;
  }
  if (cancel_all) record.Code = 0;
}

}  // namespace korvel

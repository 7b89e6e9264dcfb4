// Entries read from the read-ahead or through libzip, with the password questions.
#include "engines/unpkeng/EntryReader.h"

#include <algorithm>
#include <climits>

namespace korvel::engine {

namespace {

constexpr std::size_t kChunk = 64 * 1024;

std::int32_t ClampToInt32(std::uint64_t value) {
  return static_cast<std::int32_t>(std::min<std::uint64_t>(value, INT32_MAX));
}

}  // namespace

EntryReader::EntryReader(zip_t* archive, const std::string& archive_path, CallbackChannel& channel,
                         std::string password, std::int32_t password_requests)
    : archive_(archive),
      archive_path_(archive_path),
      channel_(channel),
      password_(std::move(password)),
      password_requests_(password_requests),
      buffer_(std::make_unique_for_overwrite<char[]>(kChunk)) {}

void EntryReader::StartReadAhead(std::vector<ReadAhead::Candidate> whole) {
  ahead_.emplace(archive_, std::move(whole));
}

bool EntryReader::Open(zip_uint64_t index, const zip_stat_t& st, const std::string& shown,
                       Opened& opened) {
  if (!IsWholeEntry(st)) {
    opened.file = OpenStream(index, st, shown);
    return opened.file != nullptr;
  }
  opened.whole = ahead_->Take(index, st);
  if (opened.whole->failure != ExpandedEntry::Failure::kOpen) return true;
  channel_.Message(kEngineErrorDamaged, "Cannot read " + shown + ": " + opened.whole->failure_text);
  return false;
}

bool EntryReader::Read(Opened& opened, const std::string& shown, bool& crc_error,
                       const Sink& sink) {
  return opened.whole ? ReadWhole(*opened.whole, shown, crc_error, sink)
                      : ReadStream(opened.file.get(), shown, crc_error, sink);
}

ZipFilePtr EntryReader::OpenStream(zip_uint64_t index, const zip_stat_t& st,
                                   const std::string& shown) {
  if (st.encryption_method == ZIP_EM_NONE) {
    ZipFilePtr file(zip_fopen_index(archive_, index, 0));
    if (!file)
      channel_.Message(kEngineErrorDamaged, "Cannot read " + shown + ": " + zip_strerror(archive_));
    return file;
  }
  for (;;) {
    ZipFilePtr file(zip_fopen_index_encrypted(archive_, index, 0,
                                              password_.empty() ? nullptr : password_.c_str()));
    if (file) return file;
    const int code = zip_error_code_zip(zip_get_error(archive_));
    const bool password_error = code == ZIP_ER_NOPASSWD || code == ZIP_ER_WRONGPASSWD;
    if (!password_error || password_requests_ <= 0) {
      channel_.Message(password_error ? kEngineErrorPassword : kEngineErrorUnsupported,
                       "Cannot read " + shown + ": " + zip_strerror(archive_));
      return nullptr;
    }
    if (!AskPassword(shown)) return nullptr;
  }
}

bool EntryReader::AskPassword(const std::string& shown) {
  --password_requests_;
  if (!channel_.Send(kCallbackActionPassword, 0, password_requests_, shown)) return false;
  const EngineCallbackRecord& answer = channel_.Answer();
  if (answer.Code == 0) password_requests_ = 0;  // asked to stop asking
  if (answer.Arg1 != 1) {
    channel_.Message(kEngineErrorPassword, "Skipped " + shown + ": no password given");
    return false;
  }
  password_ = channel_.AnswerText();
  password_requests_ = std::min(password_requests_, std::clamp(answer.Arg2, 0, 15));
  return true;
}

bool EntryReader::ReadStream(zip_file_t* file, const std::string& shown, bool& crc_error,
                             const Sink& sink) {
  char* buffer = buffer_.get();
  for (;;) {
    const zip_int64_t got = zip_fread(file, buffer, kChunk);
    if (got == 0) return true;
    if (got < 0) {
      if (zip_error_code_zip(zip_file_get_error(file)) == ZIP_ER_CRC) {
        crc_error = true;
        return true;
      }
      channel_.Message(kEngineErrorDamaged,
                       "Cannot read " + shown + ": " + zip_file_strerror(file));
      return false;
    }
    if (!sink(buffer, static_cast<std::size_t>(got))) return false;
    if (!channel_.Send(kCallbackActionProgress, ClampToInt32(static_cast<std::uint64_t>(got)), 0,
                       shown, archive_path_.c_str()))
      return false;
  }
}

bool EntryReader::ReadWhole(ExpandedEntry& entry, const std::string& shown, bool& crc_error,
                            const Sink& sink) {
  ahead_->Wait(entry);
  if (entry.failure == ExpandedEntry::Failure::kRead || entry.bad_data) {
    channel_.Message(kEngineErrorDamaged,
                     "Cannot read " + shown + ": " +
                         (entry.bad_data ? "the compressed data is damaged" : entry.failure_text));
    return false;
  }
  crc_error = entry.crc_error;
  return sink(entry.data.get(), entry.expanded_size) &&
         channel_.Send(kCallbackActionProgress, ClampToInt32(entry.expanded_size), 0, shown,
                       archive_path_.c_str());
}

}  // namespace korvel::engine

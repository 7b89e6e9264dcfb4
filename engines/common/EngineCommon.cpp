// Name matching, DOS times, safe entry paths and the callback channel of the engines.
#include "engines/common/EngineCommon.h"

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <fstream>

namespace korvel::engine {

namespace {

char LowerAscii(char c) {
  return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c;
}

}  // namespace

bool MatchWildcard(std::string_view pattern, std::string_view name) {
  // Greedy match with one backtrack point: linear enough and never recursive.
  std::size_t p = 0, n = 0;
  std::size_t star = std::string_view::npos, star_n = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      star = p++;
      star_n = n;
    } else if (p < pattern.size() &&
               (pattern[p] == '?' || LowerAscii(pattern[p]) == LowerAscii(name[n]))) {
      ++p;
      ++n;
    } else if (star != std::string_view::npos) {
      p = star + 1;
      n = ++star_n;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') ++p;
  return p == pattern.size();
}

bool MatchNamePattern(std::string_view pattern, std::string_view name) {
  if (pattern == "*.*" || pattern == "*") return true;
  if (MatchWildcard(pattern, name)) return true;
  if (pattern.size() > 2 && pattern.substr(pattern.size() - 2) == ".*" &&
      name.find('.') == std::string_view::npos)
    return MatchWildcard(pattern.substr(0, pattern.size() - 2), name);
  return false;
}

bool HasWildcards(std::string_view pattern) {
  return pattern.find_first_of("*?") != std::string_view::npos;
}

std::vector<std::string> SplitList(std::string_view text, std::string_view separators) {
  std::vector<std::string> items;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t end = text.find_first_of(separators, start);
    if (end == std::string_view::npos) end = text.size();
    if (end > start) items.emplace_back(text.substr(start, end - start));
    start = end + 1;
  }
  return items;
}

std::string ToLowerAscii(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = LowerAscii(c);
  return lower;
}

bool EndsWithAnySuffix(std::string_view name, const std::vector<std::string>& suffixes) {
  const std::string lower = ToLowerAscii(name);
  return std::any_of(suffixes.begin(), suffixes.end(), [&](const std::string& suffix) {
    return !suffix.empty() && lower.size() >= suffix.size() &&
           lower.compare(lower.size() - suffix.size(), suffix.size(), ToLowerAscii(suffix)) == 0;
  });
}

std::uint32_t ToDosDateTime(std::time_t time) {
  std::tm local{};
  if (localtime_r(&time, &local) == nullptr || local.tm_year < 80)
    return (1u << 5 | 1u) << 16;                // 1980-01-01 00:00
  if (local.tm_year > 207) return 0xFF9FBF7Du;  // 2107-12-31 23:59:58
  const std::uint32_t date = static_cast<std::uint32_t>((local.tm_year - 80) << 9 |
                                                        (local.tm_mon + 1) << 5 | local.tm_mday);
  const std::uint32_t dos_time =
      static_cast<std::uint32_t>(local.tm_hour << 11 | local.tm_min << 5 | local.tm_sec / 2);
  return date << 16 | dos_time;
}

std::optional<std::string> SafeEntryPath(std::string_view entry_name) {
  if (entry_name.empty() || entry_name.front() == '/' || entry_name.front() == '\\')
    return std::nullopt;
  if (entry_name.size() >= 2 && entry_name[1] == ':') return std::nullopt;
  if (entry_name.find('\0') != std::string_view::npos) return std::nullopt;
  std::string path;
  for (const std::string& part : SplitList(entry_name, "/\\")) {
    if (part == ".") continue;
    if (part == "..") return std::nullopt;
    if (!path.empty()) path += '/';
    path += part;
  }
  if (path.empty()) return std::nullopt;
  return path;
}

std::string ErrnoText(int err) {
  char buffer[256];
  // The GNU strerror_r may return a static text instead of filling the buffer.
  const char* text = strerror_r(err, buffer, sizeof buffer);
  return text != nullptr ? text : "error " + std::to_string(err);
}

void UniqueFd::Reset() {
  if (fd_ >= 0) ::close(fd_);
  fd_ = -1;
}

bool UniqueFd::Close() {
  const int fd = fd_;
  fd_ = -1;
  return fd < 0 || ::close(fd) == 0;
}

unsigned CurrentUmask() {
  std::ifstream status("/proc/self/status");
  for (std::string line; std::getline(status, line);) {
    if (line.rfind("Umask:", 0) == 0)
      return static_cast<unsigned>(std::stoul(line.substr(6), nullptr, 8));
  }
  return 022;
}

CallbackChannel::CallbackChannel(EngineCallbackFn callback, void* caller, bool is_zip)
    : callback_(callback), caller_(caller), is_zip_(is_zip) {}

bool CallbackChannel::Send(int action, std::int32_t arg1, std::int32_t arg2, std::string_view text,
                           const void* data, int message_id) {
  if (stop_result_ != 0) return false;
  if (callback_ == nullptr) return true;
  record_ = EngineCallbackRecord{};
  record_.Caller = caller_;
  record_.IsZip = is_zip_ ? 1 : 0;
  record_.Code = KORVEL_CALLBACK_CODE(action, 0, message_id);
  record_.Arg1 = arg1;
  record_.Arg2 = arg2;
  record_.Data = data;
  // An empty text, or one longer than the area, goes by pointer (first four bytes zero).
  if (!text.empty() && text.size() < sizeof record_.Text.Buffer) {
    std::memcpy(record_.Text.Buffer, text.data(), text.size());
  } else {
    long_text_.assign(text);
    record_.Text.Indirect.Zero = 0;
    record_.Text.Indirect.Text = long_text_.c_str();
  }
  std::int32_t answer = 0;
  try {
    answer = callback_(&record_);
  } catch (...) {
    answer = 10106;
  }
  if (answer == 0) return true;
  stop_result_ = answer == 10106 ? kEngineExecHandler : kEngineExecCancelled;
  return false;
}

std::string CallbackChannel::AnswerText() const {
  const char* begin = record_.Text.Buffer;
  return std::string(begin, strnlen(begin, sizeof record_.Text.Buffer));
}

}  // namespace korvel::engine

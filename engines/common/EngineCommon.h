// Internals shared by the packing and unpacking engines: name matching, DOS times, safe entry
// paths, the callback channel and the one-run-at-a-time guard.
#pragma once

#include <atomic>
#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "archive/EngineRecords.h"

// Marks the C entry points; everything else in the engines stays hidden.
#define KORVEL_ENGINE_EXPORT __attribute__((visibility("default")))

namespace korvel::engine {

// Version number both engines report; the component needs 200 or more.
inline constexpr std::int32_t kEngineVersion = 200;
inline constexpr std::int32_t kEnginePrivVersion = 2000000;

// Largest size and offset a zip file without zip64 records can hold.
inline constexpr std::uint64_t kMaxZip32 = 0xFFFFFFFEu;

// A record flag: non-zero is on (the component writes -1, 0xFFFF or 1 depending on the field).
inline bool IsOn(std::int32_t flag) {
  return flag != 0;
}

// Wildcard match without regard to ASCII case: "*" any run (also across "/"), "?" one character.
bool MatchWildcard(std::string_view pattern, std::string_view name);

// A file pattern's name part against a file name, with the DOS reading of "*.*" (every
// name) and of a trailing ".*" (also names without an extension).
bool MatchNamePattern(std::string_view pattern, std::string_view name);

// True when `pattern` holds "*" or "?".
bool HasWildcards(std::string_view pattern);

// Splits at any of `separators`, dropping empty items.
std::vector<std::string> SplitList(std::string_view text, std::string_view separators);

// ASCII lower case.
std::string ToLowerAscii(std::string_view text);

// True when `name` ends with one of the suffixes (".gif"), without regard to ASCII case.
bool EndsWithAnySuffix(std::string_view name, const std::vector<std::string>& suffixes);

// Local time as a DOS date (high 16 bits) and time (low 16 bits); times before 1980 become
// 1980-01-01 00:00, times after 2107 the last DOS moment.
std::uint32_t ToDosDateTime(std::time_t time);

// The relative path an archive entry may be written to: "\" read as "/", "." parts and
// repeated separators dropped. Nothing when the name is empty, absolute, starts with a drive
// letter or holds a ".." part, so no entry can reach outside the target folder.
std::optional<std::string> SafeEntryPath(std::string_view entry_name);

// The system's text for an errno value.
std::string ErrnoText(int err);

// An open file descriptor, closed with its owner.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  ~UniqueFd() { Reset(); }
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.fd_) { other.fd_ = -1; }
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) {
      Reset();
      fd_ = other.fd_;
      other.fd_ = -1;
    }
    return *this;
  }
  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  void Reset();
  // Closes now; false (errno set) when the close reports an error, say a delayed write failure.
  bool Close();

 private:
  int fd_ = -1;
};

// The process's file creation mask, read without changing it (other threads may create files).
unsigned CurrentUmask();

// Sends callbacks to the component and remembers whether it asked to stop.
class CallbackChannel {
 public:
  CallbackChannel(EngineCallbackFn callback, void* caller, bool is_zip);

  // Sends one callback; false when the answer asks to stop (then Stopped() is true).
  bool Send(int action, std::int32_t arg1, std::int32_t arg2, std::string_view text,
            const void* data = nullptr, int message_id = 0);
  // A message; `error` is 0 for plain information. `system_error` is the errno of a failed
  // system call, `entry` the entry the message is about.
  bool Message(std::int32_t error, std::string_view text, int system_error = 0,
               const std::string* entry = nullptr) {
    return Send(kCallbackActionMessage, error, system_error, text,
                entry != nullptr ? entry->c_str() : nullptr);
  }

  // The record of the last callback, holding the component's answers.
  const EngineCallbackRecord& Answer() const { return record_; }
  // The answer's text (the text area; never the indirect pointer).
  std::string AnswerText() const;

  bool Stopped() const { return stop_result_ != 0; }
  // The exec result for a stopped run: cancelled, or the handler fault when it answered 10106.
  std::int32_t StopResult() const { return stop_result_; }

 private:
  EngineCallbackFn callback_;
  void* caller_;
  bool is_zip_;
  EngineCallbackRecord record_{};
  std::string long_text_;
  std::int32_t stop_result_ = 0;
};

// Keeps a second run of the same engine (say, from inside a callback) from starting.
class RunGuard {
 public:
  explicit RunGuard(std::atomic<bool>& busy) : busy_(busy) { owned_ = !busy_.exchange(true); }
  ~RunGuard() {
    if (owned_) busy_ = false;
  }
  RunGuard(const RunGuard&) = delete;
  RunGuard& operator=(const RunGuard&) = delete;
  bool Owned() const { return owned_; }

 private:
  std::atomic<bool>& busy_;
  bool owned_;
};

}  // namespace korvel::engine

// korvel-patch's results: the words, the lines, the JSON objects and the exit status.
#include <algorithm>
#include <cstdio>
#include <string>

#include "app/PatchCommands.h"

namespace korvel {

namespace {

constexpr const char* kAdapted = "adapted";
constexpr const char* kUnchanged = "unchanged";
constexpr const char* kFailed = "failed";
constexpr const char* kAlreadyAdapted = "already adapted";
// A dry run's results.
constexpr const char* kWouldAdapt = "would adapt";
constexpr const char* kNoEffect = "no effect";

std::string JsonString(const std::string& text) {
  std::string out = "\"";
  for (unsigned char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += static_cast<char>(c);
    } else if (c < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", c);
      out += escaped;
    } else {
      out += static_cast<char>(c);
    }
  }
  return out + "\"";
}

std::string JsonSize(std::int64_t size) {
  return size < 0 ? "null" : std::to_string(size);
}

std::string JsonKeys(const std::optional<JobReport::Keys>& keys) {
  if (!keys) return "null";
  return "{\"game\": " + (keys->game.empty() ? "null" : JsonString(keys->game)) +
         ", \"handset\": " + JsonString(keys->handset) +
         ", \"translated\": " + (keys->translated ? "true" : "false") + "}";
}

}  // namespace

const char* ResultWord(JobOutcome outcome, bool dry_run) {
  switch (outcome) {
    case JobOutcome::kAdapted:
      return dry_run ? kWouldAdapt : kAdapted;
    case JobOutcome::kUnchanged:
      return dry_run ? kNoEffect : kUnchanged;
    case JobOutcome::kAlreadyAdapted:
      return kAlreadyAdapted;
    case JobOutcome::kFailed:
      break;
  }
  return kFailed;
}

std::string JsonLine(const FileResult& r) {
  return "{\"path\": " + JsonString(r.path) + ", \"result\": " + JsonString(r.result) +
         ", \"reason\": " + JsonString(r.reason) +
         ", \"classes_redirected\": " + std::to_string(r.classes_redirected) +
         ", \"nokia\": " + (r.nokia ? "true" : "false") +
         ", \"size_before\": " + JsonSize(r.size_before) +
         ", \"size_after\": " + JsonSize(r.size_after) + ", \"keys\": " + JsonKeys(r.keys) + "}";
}

// One line per file, then the count; or one JSON object per file and nothing else.
void PrintResults(std::ostream& out, const std::vector<FileResult>& results, bool json,
                  bool dry_run, bool restore) {
  int adapted = 0, failed = 0, skipped = 0;
  for (const FileResult& r : results) {
    if (json) {
      out << JsonLine(r) << "\n";
    } else {
      out << r.result << ": " << r.path << (r.reason.empty() ? "" : ": " + r.reason) << "\n";
    }
    if (r.result == kAdapted || r.result == kWouldAdapt || r.result == kRestoredWord) {
      ++adapted;
    } else if (r.result == kFailed) {
      ++failed;
    } else {
      ++skipped;
    }
  }
  if (json) return;
  if (restore) {
    out << adapted << " restored, " << failed << " failed\n";
  } else if (dry_run) {
    out << adapted << " to adapt, " << failed << " failing, " << skipped << " skipped\n";
  } else {
    out << adapted << " adapted, " << failed << " failed, " << skipped << " skipped\n";
  }
}

int ExitStatus(const std::vector<FileResult>& results) {
  const bool any_failed = std::any_of(results.begin(), results.end(),
                                      [](const FileResult& r) { return r.result == kFailed; });
  return any_failed ? 1 : 0;
}

}  // namespace korvel

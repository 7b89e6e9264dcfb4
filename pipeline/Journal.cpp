// The journals' format.
#include "pipeline/Journal.h"

#include "platform/Files.h"

namespace korvel {

namespace {

constexpr std::string_view kCommitHeader = "korvel-commit ";
constexpr std::string_view kRestoreHeader = "korvel-restore ";
constexpr std::string_view kEndLine = "end\n";

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string Hex(std::string_view bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (unsigned char c : bytes) {
    out += kDigits[c >> 4];
    out += kDigits[c & 15];
  }
  return out;
}

std::optional<std::string> Unhex(std::string_view hex) {
  if (hex.size() % 2 != 0) return std::nullopt;
  std::string out;
  for (std::size_t i = 0; i < hex.size(); i += 2) {
    int value = 0;
    for (char c : hex.substr(i, 2)) {
      value <<= 4;
      if (c >= '0' && c <= '9') {
        value |= c - '0';
      } else if (c >= 'a' && c <= 'f') {
        value |= c - 'a' + 10;
      } else {
        return std::nullopt;
      }
    }
    out += static_cast<char>(value);
  }
  return out;
}

// The value of the line "key=value"; nothing when there is no such line, or, with `whole`, when
// the line has no line break after it.
std::optional<std::string> Value(std::string_view text, std::string_view key, bool whole) {
  const std::string start = std::string(key) + "=";
  std::size_t pos = text.find('\n');
  while (pos != std::string_view::npos && pos + 1 < text.size()) {
    const std::size_t begin = pos + 1;
    pos = text.find('\n', begin);
    const std::string_view line =
        text.substr(begin, pos == std::string_view::npos ? std::string_view::npos : pos - begin);
    if (!StartsWith(line, start)) continue;
    if (whole && pos == std::string_view::npos) return std::nullopt;
    return std::string(line.substr(start.size()));
  }
  return std::nullopt;
}

// A file name in the game's folder, or "" when it is none (a folder's part, "." or "..").
std::string PlainName(std::optional<std::string> name) {
  if (!name || *name == "." || *name == ".." ||
      name->find(platform::kPathSeparator) != std::string::npos) {
    return {};
  }
  return *name;
}

// Version 1, as earlier releases wrote it: the JAD's absolute path, no end line.
Journal ParseVersion1(std::string_view text) {
  Journal journal;
  journal.version = 1;
  journal.descriptor.reset();
  if (const auto path = Value(text, "jad", true)) {
    journal.descriptor = path->empty() ? "" : platform::FileNamePart(*path);
  }
  journal.backup = Value(text, "backup", false) == "1";
  return journal;
}

}  // namespace

std::string FormatJournal(const Journal& journal) {
  const std::string name = Hex(journal.descriptor.value_or(""));
  if (journal.kind == JournalKind::kRestore) {
    return std::string(kRestoreHeader) + std::to_string(kRestoreJournalVersion) + "\njad=" + name +
           "\nnojad=" + (journal.no_descriptor ? "1" : "0") + "\n" + std::string(kEndLine);
  }
  return std::string(kCommitHeader) + std::to_string(kCommitJournalVersion) + "\njad=" + name +
         "\nbackup=" + (journal.backup ? "1" : "0") + "\n" + std::string(kEndLine);
}

std::optional<Journal> ParseJournal(std::string_view text, JournalKind kind) {
  const bool commit = kind == JournalKind::kCommit;
  if (commit && (StartsWith(text, "korvel-commit 1\n") || text == "korvel-commit 1")) {
    return ParseVersion1(text);
  }
  const std::string header =
      std::string(commit ? kCommitHeader : kRestoreHeader) +
      std::to_string(commit ? kCommitJournalVersion : kRestoreJournalVersion) + "\n";
  const std::string end = "\n" + std::string(kEndLine);
  if (!StartsWith(text, header) || text.size() < header.size() + kEndLine.size() ||
      text.substr(text.size() - end.size()) != end) {
    return std::nullopt;
  }
  Journal journal;
  journal.kind = kind;
  journal.version = commit ? kCommitJournalVersion : kRestoreJournalVersion;
  journal.descriptor = PlainName(Unhex(Value(text, "jad", true).value_or("")));
  journal.backup = commit && Value(text, "backup", true) == "1";
  journal.no_descriptor = !commit && Value(text, "nojad", true) == "1";
  return journal;
}

}  // namespace korvel

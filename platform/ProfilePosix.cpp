// Private-profile (INI) files on POSIX: our own reader and writer with the rules of the Windows
// profile services, working on the file's bytes.
#include <cstddef>
#include <utility>
#include <vector>

#include "platform/AsciiText.h"
#include "platform/FileError.h"
#include "platform/Files.h"
#include "platform/Profile.h"

namespace korvel::platform {

namespace {

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

// The blanks the Windows reader strips; Ctrl-Z is the old DOS end-of-file mark.
bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f' || c == 0x1A;
}

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

// One line of the file: its content runs from `begin` to `end`, its line break (if any) from
// `end` to `next`.
struct Line {
  std::size_t begin;
  std::size_t end;
  std::size_t next;
};

enum class LineKind { kBlank, kSection, kKey };

// What a line says, as views into the file's text.
struct LineMeaning {
  LineKind kind = LineKind::kBlank;
  std::string_view name;                  // section or key name
  std::optional<std::string_view> value;  // key lines with "=" only
};

LineMeaning Interpret(std::string_view content) {
  LineMeaning m;
  const std::string_view line = Trim(content);
  if (line.empty()) return m;
  if (line.front() == '[') {
    const auto close = line.rfind(']');
    if (close != std::string_view::npos && close > 0) {
      m.kind = LineKind::kSection;
      m.name = line.substr(1, close - 1);
      return m;
    }
    // Without "]" the line is read as a key line, as Windows does.
  }
  m.kind = LineKind::kKey;
  const auto eq = line.find('=');
  if (eq == std::string_view::npos) {
    m.name = line;
  } else {
    m.name = Trim(line.substr(0, eq));
    m.value = Trim(line.substr(eq + 1));
  }
  return m;
}

std::size_t BodyStart(std::string_view text) {
  return text.substr(0, kUtf8Bom.size()) == kUtf8Bom ? kUtf8Bom.size() : 0;
}

std::vector<Line> SplitLines(std::string_view text) {
  std::vector<Line> lines;
  std::size_t pos = BodyStart(text);
  while (pos < text.size()) {
    std::size_t end = pos;
    while (end < text.size() && text[end] != '\n' && text[end] != '\r') ++end;
    std::size_t next = end;
    if (next < text.size()) {
      next += (text[next] == '\r' && next + 1 < text.size() && text[next + 1] == '\n') ? 2 : 1;
    }
    lines.push_back({pos, end, next});
    pos = next;
  }
  return lines;
}

// Where a section and a key of it stand among the lines.
struct Location {
  std::optional<std::size_t> section;  // index of the header line
  std::size_t last_filled = 0;         // last non-blank line of the section (header included)
  std::optional<std::size_t> key;      // index of the key's line
};

Location Locate(std::string_view text, const std::vector<Line>& lines, std::string_view section,
                std::string_view key) {
  Location loc;
  section = Trim(section);
  key = Trim(key);
  if (section.empty()) return loc;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    const LineMeaning m = Interpret(text.substr(lines[i].begin, lines[i].end - lines[i].begin));
    if (!loc.section) {
      if (m.kind == LineKind::kSection && !m.name.empty() &&
          EqualsIgnoringAsciiCase(m.name, section)) {
        loc.section = i;
        loc.last_filled = i;
      }
      continue;
    }
    // Only the first section of the name counts; the next header ends it.
    if (m.kind == LineKind::kSection) break;
    if (m.kind == LineKind::kBlank) continue;
    loc.last_filled = i;
    if (!loc.key && !key.empty() && EqualsIgnoringAsciiCase(m.name, key)) loc.key = i;
  }
  return loc;
}

// The line break the file already uses; LF for a file without one.
std::string_view LineBreakOf(std::string_view text) {
  const auto pos = text.find_first_of("\r\n");
  if (pos == std::string_view::npos || text[pos] == '\n') return "\n";
  return pos + 1 < text.size() && text[pos + 1] == '\n' ? "\r\n" : "\r";
}

std::string FullPath(const std::string& path) {
  if (!path.empty() && path.front() == kPathSeparator) return path;
  return JoinPath(CurrentDirectory(), path);
}

[[noreturn]] void ThrowUnableToWrite(const std::string& path) {
  throw FileError("Unable to write to " + FullPath(path));
}

}  // namespace

ProfileFile::ProfileFile(std::string path) : path_(std::move(path)) {
  if (!FileExists(path_)) return;
  try {
    text_ = ReadWholeFile(path_);
  } catch (const FileError&) {
    unreadable_ = true;
  }
}

bool ProfileFile::HasUtf8Bom() const {
  return BodyStart(text_) != 0;
}

std::optional<std::string> ProfileFile::Find(std::string_view section, std::string_view key) const {
  const std::vector<Line> lines = SplitLines(text_);
  const Location loc = Locate(text_, lines, section, key);
  if (!loc.key) return std::nullopt;
  const Line& line = lines[*loc.key];
  const LineMeaning m =
      Interpret(std::string_view(text_).substr(line.begin, line.end - line.begin));
  if (!m.value) return std::nullopt;
  std::string_view value = *m.value;
  // A value in a matching pair of quotes loses them.
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
      value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return std::string(value);
}

std::string ProfileFile::ReadString(std::string_view section, std::string_view key,
                                    std::string_view default_value) const {
  if (auto value = Find(section, key)) return std::move(*value);
  while (!default_value.empty() && default_value.back() == ' ') default_value.remove_suffix(1);
  return std::string(default_value);
}

void ProfileFile::WriteString(std::string_view section, std::string_view key,
                              std::string_view value) {
  while (!value.empty() && IsBlank(value.front())) value.remove_prefix(1);
  // A line break would end the value early and let the rest pass for further lines of the file.
  value = value.substr(0, value.find_first_of("\r\n"));
  const std::vector<Line> lines = SplitLines(text_);
  const Location loc = Locate(text_, lines, section, key);
  const std::string eol(LineBreakOf(text_));

  if (loc.key) {
    // Keep the key as the file spells it; only the value changes.
    const Line& line = lines[*loc.key];
    const LineMeaning m =
        Interpret(std::string_view(text_).substr(line.begin, line.end - line.begin));
    std::string replacement(m.name);
    replacement += '=';
    replacement += value;
    text_.replace(line.begin, line.end - line.begin, replacement);
    return;
  }

  std::string entry(Trim(key));
  entry += '=';
  entry += value;
  if (loc.section) {
    const Line& after = lines[loc.last_filled];
    if (after.next == after.end) {
      text_.insert(after.end, eol + entry);  // the last line of the file had no line break
    } else {
      text_.insert(after.next, entry + eol);
    }
    return;
  }

  if (!lines.empty()) {
    const Line& last = lines.back();
    if (last.next == last.end) text_ += eol;
    // A blank line between the sections, unless the file already ends with one.
    if (!Trim(std::string_view(text_).substr(last.begin, last.end - last.begin)).empty()) {
      text_ += eol;
    }
  }
  text_ += '[';
  text_ += Trim(section);
  text_ += ']';
  text_ += eol;
  text_ += entry;
  text_ += eol;
}

void ProfileFile::Save() const {
  if (unreadable_ || !WriteFileAtomically(path_, text_)) ThrowUnableToWrite(path_);
}

std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view default_value) {
  return ProfileFile(path).ReadString(section, key, default_value);
}

void WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value) {
  ProfileFile file(path);
  file.WriteString(section, key, value);
  file.Save();
}

}  // namespace korvel::platform

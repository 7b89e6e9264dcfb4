// Private-profile (INI) files with the semantics of the Windows profile services: the settings
// file and the language files. Texts are bytes; what they encode is the caller's business.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace korvel::platform {

// The content of one profile file, read once and looked up or changed many times.
//
// Reading follows GetPrivateProfileString:
// - a line is "[section]", "key=value", or anything else; lines end at LF, CR LF or a lone CR;
// - blanks (space, tab, CR, LF, VT, FF and Ctrl-Z) around a line, around the key and around the
//   value are ignored; the section name is what stands between "[" and the last "]" of its line;
// - sections and keys are matched without regard to ASCII letter case; only the first section of
//   a name is consulted, and in it the first line with the key;
// - a value enclosed in a matching pair of single or double quotes loses them;
// - a missing file, section or key, or a key line without "=", gives the default, which loses
//   its trailing spaces as it does there;
// - a UTF-8 byte-order mark at the start of the file is skipped (see HasUtf8Bom()).
//
// Writing follows WritePrivateProfileString but keeps the file as it was around the change: the
// key's line is replaced (its spelling kept), a new key goes after the last non-blank line of its
// section, a new section goes at the end of the file. New lines take the file's line break (LF
// for a new file).
class ProfileFile {
 public:
  // Reads the file at `path`. A missing or unreadable file reads as an empty one.
  explicit ProfileFile(std::string path);

  const std::string& Path() const { return path_; }

  // True when the file begins with a UTF-8 byte-order mark.
  bool HasUtf8Bom() const;

  // The value of `key` in `section`, or nothing when there is none (missing section or key, or a
  // key line without "="). Quotes are removed as described above.
  std::optional<std::string> Find(std::string_view section, std::string_view key) const;

  // The value of `key` in `section`, or `default_value` without its trailing spaces.
  std::string ReadString(std::string_view section, std::string_view key,
                         std::string_view default_value) const;

  // Sets `key` in `section` to `value` in memory; Save() writes it. The value loses its leading
  // blanks, as it does there, and anything from its first line break on, which the file could not
  // hold as part of the value.
  void WriteString(std::string_view section, std::string_view key, std::string_view value);

  // Writes the content back to the file atomically: the file keeps its old content when this
  // fails. Raises FileError "Unable to write to <full path>" when the file cannot be written, and
  // also when it exists but could not be read (its content would otherwise be lost).
  void Save() const;

 private:
  std::string path_;
  std::string text_;
  bool unreadable_ = false;
};

// GetPrivateProfileString without the buffer: the whole value (see ProfileFile for the rules).
std::string ReadProfileString(const std::string& path, std::string_view section,
                              std::string_view key, std::string_view default_value);

// WritePrivateProfileString: sets one key and keeps the rest of the file. Raises FileError
// "Unable to write to <full path>" when the file cannot be written (a read-only file counts as
// unwritable for every user); the file is then left as it was.
void WriteProfileString(const std::string& path, std::string_view section, std::string_view key,
                        std::string_view value);

}  // namespace korvel::platform

// Text operations on the JAR manifest and the JAD descriptor.
#include "pipeline/ManifestRewrite.h"

#include <initializer_list>
#include <vector>

#include "platform/AsciiText.h"
#include "platform/FileError.h"
#include "platform/Files.h"

namespace korvel {

namespace {

constexpr std::string_view kLineEnd = "\r\n";

// Splits text into lines; LF, CR LF and a lone CR each end a line. A last line without an end
// counts; the empty rest after a final line end does not.
std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.push_back(text.substr(start, i - start));
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.push_back(text.substr(start));
  return lines;
}

// The lines of `text` that begin with none of `prefixes`, each ended by CR LF. A manifest value
// may go on in lines that begin with one space; those go wherever their first line goes.
std::string KeepLinesExcept(std::string_view text,
                            std::initializer_list<std::string_view> prefixes) {
  std::string result;
  bool dropping = false;
  for (std::string_view line : SplitLines(text)) {
    const bool continuation = !line.empty() && line.front() == ' ';
    if (!(dropping && continuation)) {
      dropping = false;
      for (std::string_view prefix : prefixes) {
        if (!prefix.empty() && StartsWithIgnoringAsciiCase(line, prefix)) dropping = true;
      }
    }
    if (dropping) continue;
    result += line;
    result += kLineEnd;
  }
  return result;
}

std::optional<std::string> ReadText(const std::string& file_name) {
  try {
    return platform::ReadWholeFile(file_name);
  } catch (const FileError&) {
    return std::nullopt;
  }
}

}  // namespace

std::optional<std::string> LoadLinesExcept(const std::string& file_name, std::string_view prefix) {
  const auto text = ReadText(file_name);
  if (!text) return std::nullopt;
  return KeepLinesExcept(*text, {prefix});
}

std::string NormalizeLineBreaks(std::string_view text) {
  std::string result;
  for (std::string_view line : SplitLines(text)) {
    if (line.empty()) continue;
    result += line;
    result += kLineEnd;
  }
  if (result.empty()) result = kLineEnd;
  return result;
}

bool SaveTextFile(const std::string& file_name, std::string_view text) {
  return platform::WriteFileAtomically(file_name, text);
}

std::int64_t GetFileSizeOf(const std::string& file_name) {
  return platform::FileSizeOf(file_name);
}

bool FilterAttributes(const std::string& file_name) {
  const auto text = ReadText(file_name);
  if (!text) return false;
  return platform::WriteFileAtomically(
      file_name,
      NormalizeLineBreaks(KeepLinesExcept(*text, {kObfuscatedMidletPrefix, kInstallNotifyPrefix})),
      platform::WriteSafety::kAtomicOnly);
}

bool UpdateDescriptor(const std::string& jad_file, std::int64_t jar_size,
                      std::string_view jar_name) {
  if (jar_size < 0) return false;
  const auto text = ReadText(jad_file);
  if (!text) return false;
  std::string updated = NormalizeLineBreaks(KeepLinesExcept(
      *text, {kJarSizePrefix, kJarUrlPrefix, kJarSignaturePrefix, kCertificatePrefix}));
  updated += "MIDlet-Jar-Size: " + std::to_string(jar_size);
  updated += kLineEnd;
  updated += "MIDlet-Jar-URL: ";
  updated += jar_name;
  return platform::WriteFileAtomically(jad_file, NormalizeLineBreaks(updated),
                                       platform::WriteSafety::kAtomicOnly);
}

}  // namespace korvel

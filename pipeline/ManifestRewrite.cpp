// Text operations on the JAR manifest and the JAD descriptor.
#include "pipeline/ManifestRewrite.h"

#include <initializer_list>
#include <vector>

#include "platform/AsciiText.h"
#include "platform/CodePage.h"
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

bool IsUtf8(std::string_view text) {
  std::size_t follow = 0;
  for (const char c : text) {
    const auto byte = static_cast<unsigned char>(c);
    if (follow > 0) {
      if ((byte & 0xC0) != 0x80) return false;
      --follow;
    } else if (byte >= 0xF0 && byte <= 0xF4) {
      follow = 3;
    } else if (byte >= 0xE0) {
      follow = 2;
    } else if (byte >= 0xC2) {
      follow = 1;
    } else if (byte >= 0x80) {
      return false;
    }
  }
  return follow == 0;
}

// Characters a URL path segment holds as they are; a ":" would read as a scheme.
bool KeptInUrl(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')) return true;
  return std::string_view("-._~!$&'()*+,;=@").find(static_cast<char>(c)) != std::string_view::npos;
}

}  // namespace

std::string JarUrlOf(std::string_view jar_name) {
  const std::string utf8 = IsUtf8(jar_name)
                               ? std::string(jar_name)
                               : platform::ToUtf8(jar_name, platform::CodePage::kWindows1251);
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string url;
  for (const char c : utf8) {
    const auto byte = static_cast<unsigned char>(c);
    if (KeptInUrl(byte)) {
      url += c;
    } else {
      url += '%';
      url += kHex[byte >> 4];
      url += kHex[byte & 0x0F];
    }
  }
  return url;
}

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

std::vector<std::string> DroppedAttributes(const std::string& file_name, bool filter, bool update) {
  std::vector<std::string_view> prefixes;
  if (filter) prefixes.insert(prefixes.end(), {kObfuscatedMidletPrefix, kInstallNotifyPrefix});
  if (update) prefixes.insert(prefixes.end(), {kJarSignaturePrefix, kCertificatePrefix});
  std::vector<std::string> dropped;
  const auto text = ReadText(file_name);
  if (!text) return dropped;
  // Continuation lines belong to the attribute before them and are not named again.
  for (std::string_view line : SplitLines(*text)) {
    if (!line.empty() && line.front() == ' ') continue;
    for (std::string_view prefix : prefixes) {
      if (StartsWithIgnoringAsciiCase(line, prefix)) {
        dropped.emplace_back(line.substr(0, line.find(':')));
        break;
      }
    }
  }
  return dropped;
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
  updated += JarUrlOf(jar_name);
  return platform::WriteFileAtomically(jad_file, NormalizeLineBreaks(updated),
                                       platform::WriteSafety::kAtomicOnly);
}

}  // namespace korvel

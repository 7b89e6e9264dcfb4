// Text operations on the JAR manifest and the JAD descriptor: one attribute per line, kept or
// dropped whole by a test on how the line begins.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// Lines beginning with these (in any letter case) are dropped by the attribute filter.
inline constexpr std::string_view kObfuscatedMidletPrefix = "MIDxlet";
inline constexpr std::string_view kInstallNotifyPrefix = "MIDlet-Install-Notify";
// Lines beginning with these are replaced by the descriptor update.
inline constexpr std::string_view kJarSizePrefix = "MIDlet-Jar-Size";
inline constexpr std::string_view kJarUrlPrefix = "MIDlet-Jar-URL";
// A signature describes the JAR as it was; after the update it would make a handset refuse the
// suite, so the update drops it and the suite installs unsigned.
inline constexpr std::string_view kJarSignaturePrefix = "MIDlet-Jar-RSA-SHA1";
inline constexpr std::string_view kCertificatePrefix = "MIDlet-Certificate-";

// Reads the file's lines and returns those that do not begin with `prefix` (ASCII letter case
// ignored, leading blanks not skipped), each followed by CR LF. A line ends at LF, CR LF or a
// lone CR. Lines beginning with one space right after a dropped line continue its value and are
// dropped with it. An empty prefix drops nothing. Nothing when the file cannot be read.
std::optional<std::string> LoadLinesExcept(const std::string& file_name, std::string_view prefix);

// Every line ended by CR LF, empty lines removed (CR, LF and CR LF all end a line). An empty
// text, or one of line ends only, gives a single CR LF.
std::string NormalizeLineBreaks(std::string_view text);

// Replaces the file's content with `text` (nothing appended); the file holds either its old or
// its new content, never a mix. False on failure.
bool SaveTextFile(const std::string& file_name, std::string_view text);

// Length of the file in bytes, or -1 when there is no file to measure.
std::int64_t GetFileSizeOf(const std::string& file_name);

// The attribute filter and the descriptor update rewrite the patch job's working copies (the
// manifest in the work folder, the staged descriptor); SaveTextFile writes the user's file. So
// these two replace the file atomically but do not wait for the disk.

// The attribute filter: drops the "MIDxlet" and "MIDlet-Install-Notify" lines and normalises the
// line ends. A file that cannot be read is left as it is. True when the file was rewritten.
bool FilterAttributes(const std::string& file_name);

// The attributes (each dropped line up to its colon) that a run would drop from the manifest or
// descriptor at `file_name`: the attribute filter's when `filter`, the signature lines the
// descriptor update drops when `update` (the JAR size and URL it renews are not counted). Empty
// when the file cannot be read.
std::vector<std::string> DroppedAttributes(const std::string& file_name, bool filter, bool update);

// The JAR's file name as a relative URL: bytes a URL cannot hold (blanks, "%", controls,
// delimiters such as "#" or "?", every non-ASCII byte) are percent-encoded; a plain name stays as
// it is. A name that is not UTF-8 is taken as Windows-1251 and encoded as UTF-8.
std::string JarUrlOf(std::string_view jar_name);

// The descriptor update after packing: drops the JAR size, JAR URL and signature lines and ends
// the descriptor with "MIDlet-Jar-Size: <jar_size>" and "MIDlet-Jar-URL: <JarUrlOf(jar_name)>".
// Leaves the descriptor as it is when it cannot be read or when there is no JAR to measure
// (jar_size < 0). True when the descriptor was rewritten.
bool UpdateDescriptor(const std::string& jad_file, std::int64_t jar_size,
                      std::string_view jar_name);

}  // namespace korvel

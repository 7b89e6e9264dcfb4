// Byte-level rewrites of compiled classes: redirecting the MIDP canvas and spotting the Nokia API.
#pragma once

#include <string>
#include <string_view>

namespace korvel {

// Both names are 31 bytes, so replacing one by the other in place keeps every length prefix of
// the constant pool and every offset in the class file valid.
inline constexpr std::string_view kCanvasClassName = "javax/microedition/lcdui/Canvas";
inline constexpr std::string_view kFullCanvasClassName = "com/quillmoss/fullscreen/FullCn";
// The package prefix shared by the Nokia UI and sound classes.
inline constexpr std::string_view kNokiaPackagePrefix = "com/nokia/mid/";

// Replaces every occurrence of `search_text` in the file by `replace_text` (same length), byte
// for byte and case-sensitively, in place. The window that would end at the file's very last
// byte is not examined. Returns true when anything was replaced; a file without an occurrence is
// not written. The file is opened for reading and writing, so a read-only or vanished file raises
// FileError. Raises std::invalid_argument when the two texts differ in length.
bool PatchClassFile(const std::string& file_name, std::string_view search_text,
                    std::string_view replace_text);

// True when `text` occurs in the file, under the same rules as PatchClassFile. The file is never
// changed, but it is opened for reading and writing like the patch, so the same errors arise.
bool FileContainsText(const std::string& file_name, std::string_view text);

}  // namespace korvel

// Rewrites of compiled classes: redirecting canvas classes to the full-screen classes and
// spotting the Nokia API.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "platform/Files.h"

namespace korvel {

// The MIDP canvases a game builds on, and the injected classes that take their place as the
// direct super class of the game's canvases.
inline constexpr std::string_view kCanvasClassName = "javax/microedition/lcdui/Canvas";
inline constexpr std::string_view kFullCanvasClassName = "com/quillmoss/fullscreen/FullCn";
inline constexpr std::string_view kGameCanvasClassName = "javax/microedition/lcdui/game/GameCanvas";
inline constexpr std::string_view kFullGameCanvasClassName =
    "com/quillmoss/fullscreen/game/FullGameCn";
// The package prefix shared by the Nokia UI and sound classes.
inline constexpr std::string_view kNokiaPackagePrefix = "com/nokia/mid/";

// What a class is to the redirect.
enum class CanvasKind {
  kOther,           // not a direct canvas subclass, or one of the injected classes itself
  kCanvas,          // extended the MIDP canvas; now extends FullCn (or FullKeyCn)
  kGameCanvas,      // extended the MIDP game canvas; now extends FullGameCn (or FullKeyGameCn)
  kFullCanvas,      // already extends FullCn or FullKeyCn (a game adapted before)
  kFullGameCanvas,  // already extends FullGameCn or FullKeyGameCn
};

// Makes a class whose direct super class is the MIDP canvas (game canvas) extend FullCn
// (FullGameCn): the super class entry and the constructor calls to the old super class's <init>
// now name the injected class, whose Class and Utf8 entries are appended to the constant pool.
// Every other reference stays as it is, and code and attributes keep their bytes. `bytes` is
// changed only for kCanvas and kGameCanvas. Raises ClassFormatError for a malformed class, which
// is then left as it was. With `keys` the targets are the key canvases FullKeyCn and FullKeyGameCn
// (pipeline/KeyHandlers.h), and a class that extends FullCn (FullGameCn) is moved onto them.
CanvasKind RedirectCanvasClass(std::string& bytes, bool keys = false);

// RedirectCanvasClass on a file, written back only when it changed. The file is opened for
// reading and writing, so a read-only or vanished file raises FileError; a malformed class
// raises ClassFormatError and is not written.
CanvasKind RedirectCanvasFile(const std::string& file_name);

// True when `text` occurs in the file, byte for byte and case-sensitively; the window that would
// end at the file's very last byte is not examined. The file is never changed, but it is opened
// for reading and writing, so a read-only or vanished file raises FileError.
bool FileContainsText(const std::string& file_name, std::string_view text);

// A class file read once for both of the job's looks at it: the Nokia test and the redirect. The
// file is opened for reading and writing, so a read-only or vanished file raises FileError.
class OpenedClassFile {
 public:
  explicit OpenedClassFile(const std::string& file_name);

  const std::string& Bytes() const { return bytes_; }
  // As FileContainsText, on the bytes read.
  bool Contains(std::string_view text) const;
  // As RedirectCanvasFile, on the bytes read: written back only when they changed.
  CanvasKind Redirect(bool keys = false);
  // RenameKeyHandlers (pipeline/KeyHandlers.h) on the bytes read, written back when they changed.
  bool RenameKeyHandlers(const std::set<std::string>& canvases);
  // A failing close raises FileError; without it the file is closed silently.
  void Close() { file_.Close(); }

 private:
  platform::BinaryFile file_;
  std::string bytes_;
};

}  // namespace korvel

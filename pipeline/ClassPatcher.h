// The canvas redirect and the Nokia test on single class files, as the patch job used them
// before the class step (pipeline/GameClasses.h) read every class once.
#pragma once

#include <set>
#include <string>
#include <string_view>

#include "pipeline/ClassPasses.h"
#include "pipeline/InjectedClasses.h"
#include "pipeline/classfile/Canvases.h"
#include "platform/Files.h"

namespace korvel {

// The redirect (pipeline/ClassPasses.h) on a class's bytes, changed only for kCanvas and
// kGameCanvas (and, with `keys`, a class moved from FullCn or FullGameCn onto the key canvases).
// Raises ClassFormatError for a malformed class, which is then left as it was.
CanvasKind RedirectCanvasClass(std::string& bytes, bool keys = false);

// RedirectCanvasClass on a file, written back only when it changed. The file is opened for
// reading and writing, so a read-only or vanished file raises FileError; a malformed class
// raises ClassFormatError and is not written.
CanvasKind RedirectCanvasFile(const std::string& file_name);

// RefersToPackage (pipeline/ClassPasses.h) on a file. The file is never changed, but it is opened
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

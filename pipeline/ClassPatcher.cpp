// The canvas redirect and the Nokia test on single class files.
#include "pipeline/ClassPatcher.h"

#include "pipeline/KeyHandlers.h"

namespace korvel {

CanvasKind RedirectCanvasClass(std::string& bytes, bool keys) {
  const ClassOutline outline(bytes);
  PoolEditor editor(outline);
  const CanvasKind kind = RedirectCanvas(editor, keys);
  if (editor.Changed()) {
    std::string changed = editor.Bytes();
    bytes = std::move(changed);
  }
  return kind;
}

OpenedClassFile::OpenedClassFile(const std::string& file_name)
    : file_(file_name, platform::BinaryFile::Mode::kReadWrite), bytes_(file_.ReadAll()) {}

bool OpenedClassFile::Contains(std::string_view text) const {
  return RefersToPackage(bytes_, text);
}

CanvasKind OpenedClassFile::Redirect(bool keys) {
  const std::string before = bytes_;
  const CanvasKind kind = RedirectCanvasClass(bytes_, keys);
  // The rewrites only insert bytes, so the new content covers the old one entirely.
  if (bytes_ != before) file_.WriteAt(0, bytes_);
  return kind;
}

bool OpenedClassFile::RenameKeyHandlers(const std::set<std::string>& canvases) {
  if (!korvel::RenameKeyHandlers(bytes_, canvases)) return false;
  file_.WriteAt(0, bytes_);
  return true;
}

CanvasKind RedirectCanvasFile(const std::string& file_name) {
  OpenedClassFile file(file_name);
  const CanvasKind kind = file.Redirect();
  file.Close();
  return kind;
}

bool FileContainsText(const std::string& file_name, std::string_view text) {
  OpenedClassFile file(file_name);
  const bool found = file.Contains(text);
  file.Close();
  return found;
}

}  // namespace korvel

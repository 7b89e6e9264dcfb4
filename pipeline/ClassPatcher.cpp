// Rewrites of compiled classes.
#include "pipeline/ClassPatcher.h"

#include <vector>

#include "pipeline/ClassFile.h"
#include "pipeline/KeyHandlers.h"
#include "platform/Files.h"

namespace korvel {

namespace {

constexpr std::size_t kPoolCountOffset = 8;
// The super class index follows the access flags and the class index.
constexpr std::size_t kSuperClassAfterPool = 4;
constexpr std::size_t kMaxPoolCount = 0xFFFF;

void PutU2(std::string& bytes, std::size_t at, std::size_t value) {
  bytes[at] = static_cast<char>(value >> 8 & 0xFF);
  bytes[at + 1] = static_cast<char>(value & 0xFF);
}

std::string U2(std::size_t value) {
  std::string two(2, '\0');
  PutU2(two, 0, value);
  return two;
}

// Offsets of the Methodref entries that call a constructor of the class named `owner`.
std::vector<std::size_t> ConstructorRefs(const ClassOutline& outline, std::string_view owner) {
  std::vector<std::size_t> refs;
  for (const Constant& entry : outline.Pool()) {
    if (entry.tag != ConstantTag::kMethodref) continue;
    if (outline.ClassName(outline.IndexIn(entry, 1)) != owner) continue;
    const Constant& name_and_type =
        outline.Entry(outline.IndexIn(entry, 3), ConstantTag::kNameAndType);
    if (outline.Utf8(outline.IndexIn(name_and_type, 1)) == "<init>") refs.push_back(entry.offset);
  }
  return refs;
}

}  // namespace

namespace {

// Makes the class in `bytes` extend `target` instead of `base`: the super class entry and the
// constructor calls to `base` now name `target`, whose Class and Utf8 entries are appended.
void ReplaceSuperClass(std::string& bytes, const ClassOutline& outline, std::string_view base,
                       std::string_view target) {
  const std::size_t count = outline.Pool().size();
  if (count + 2 > kMaxPoolCount) throw ClassFormatError("the constant pool has no room left");
  // A constructor must call its direct super class's constructor, so those calls move along
  // with the super class; every other use of the old super class stays.
  const std::vector<std::size_t> constructor_refs = ConstructorRefs(outline, base);

  const std::size_t name_index = count;
  const std::size_t class_index = count + 1;
  const std::string added =
      '\x01' + U2(target.size()) + std::string(target) + '\x07' + U2(name_index);
  const std::size_t pool_end = outline.PoolEnd();
  std::string out;
  out.reserve(bytes.size() + added.size());
  out.append(bytes, 0, pool_end).append(added).append(bytes, pool_end);
  PutU2(out, kPoolCountOffset, count + 2);
  PutU2(out, pool_end + added.size() + kSuperClassAfterPool, class_index);
  for (std::size_t offset : constructor_refs) PutU2(out, offset + 1, class_index);
  bytes = std::move(out);
}

bool IsInjectedCanvas(std::string_view name) {
  return name == kFullCanvasClassName || name == kFullGameCanvasClassName ||
         name == kFullKeyCanvasClassName || name == kFullKeyGameCanvasClassName;
}

}  // namespace

CanvasKind RedirectCanvasClass(std::string& bytes, bool keys) {
  const ClassOutline outline(bytes);
  // The injected classes extend the MIDP canvases themselves and must go on doing so.
  if (IsInjectedCanvas(outline.ClassName(outline.ThisClass()))) return CanvasKind::kOther;
  if (outline.SuperClass() == 0) return CanvasKind::kOther;
  const std::string_view base = outline.ClassName(outline.SuperClass());
  const std::string_view canvas = keys ? kFullKeyCanvasClassName : kFullCanvasClassName;
  const std::string_view game_canvas =
      keys ? kFullKeyGameCanvasClassName : kFullGameCanvasClassName;

  if (base == kCanvasClassName) {
    ReplaceSuperClass(bytes, outline, base, canvas);
    return CanvasKind::kCanvas;
  }
  if (base == kGameCanvasClassName) {
    ReplaceSuperClass(bytes, outline, base, game_canvas);
    return CanvasKind::kGameCanvas;
  }
  // A game adapted before: with keys now, its canvases move onto the key canvases.
  if (base == kFullCanvasClassName || base == kFullKeyCanvasClassName) {
    if (keys && base == kFullCanvasClassName) ReplaceSuperClass(bytes, outline, base, canvas);
    return CanvasKind::kFullCanvas;
  }
  if (base == kFullGameCanvasClassName || base == kFullKeyGameCanvasClassName) {
    if (keys && base == kFullGameCanvasClassName) {
      ReplaceSuperClass(bytes, outline, base, game_canvas);
    }
    return CanvasKind::kFullGameCanvas;
  }
  return CanvasKind::kOther;
}

OpenedClassFile::OpenedClassFile(const std::string& file_name)
    : file_(file_name, platform::BinaryFile::Mode::kReadWrite), bytes_(file_.ReadAll()) {}

bool OpenedClassFile::Contains(std::string_view text) const {
  // Every window that ends before the file's last byte.
  if (text.empty() || bytes_.size() <= text.size()) return false;
  return std::string_view(bytes_).substr(0, bytes_.size() - 1).find(text) != std::string_view::npos;
}

CanvasKind OpenedClassFile::Redirect(bool keys) {
  const std::size_t size = bytes_.size();
  const CanvasKind kind = RedirectCanvasClass(bytes_, keys);
  // The rewrites only insert bytes, so the new content covers the old one entirely.
  if (bytes_.size() != size) file_.WriteAt(0, bytes_);
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

// Rewrites of compiled classes.
#include "pipeline/ClassPatcher.h"

#include <vector>

#include "pipeline/ClassFile.h"
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

CanvasKind RedirectCanvasClass(std::string& bytes) {
  const ClassOutline outline(bytes);
  const std::string_view self = outline.ClassName(outline.ThisClass());
  // The injected classes extend the MIDP canvases themselves and must go on doing so.
  if (self == kFullCanvasClassName || self == kFullGameCanvasClassName) return CanvasKind::kOther;
  if (outline.SuperClass() == 0) return CanvasKind::kOther;
  const std::string_view base = outline.ClassName(outline.SuperClass());
  if (base == kFullCanvasClassName) return CanvasKind::kFullCanvas;
  if (base == kFullGameCanvasClassName) return CanvasKind::kFullGameCanvas;

  CanvasKind kind;
  std::string_view target;
  if (base == kCanvasClassName) {
    kind = CanvasKind::kCanvas;
    target = kFullCanvasClassName;
  } else if (base == kGameCanvasClassName) {
    kind = CanvasKind::kGameCanvas;
    target = kFullGameCanvasClassName;
  } else {
    return CanvasKind::kOther;
  }

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
  return kind;
}

OpenedClassFile::OpenedClassFile(const std::string& file_name)
    : file_(file_name, platform::BinaryFile::Mode::kReadWrite), bytes_(file_.ReadAll()) {}

bool OpenedClassFile::Contains(std::string_view text) const {
  // Every window that ends before the file's last byte.
  if (text.empty() || bytes_.size() <= text.size()) return false;
  return std::string_view(bytes_).substr(0, bytes_.size() - 1).find(text) != std::string_view::npos;
}

CanvasKind OpenedClassFile::Redirect() {
  const CanvasKind kind = RedirectCanvasClass(bytes_);
  // The redirect only inserts bytes, so the new content covers the old one entirely.
  if (kind == CanvasKind::kCanvas || kind == CanvasKind::kGameCanvas) file_.WriteAt(0, bytes_);
  return kind;
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

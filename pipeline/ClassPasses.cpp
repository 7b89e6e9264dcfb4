// The passes that adapt one class.
#include "pipeline/ClassPasses.h"

#include <optional>
#include <vector>

#include "pipeline/KeyHandlers.h"
#include "pipeline/classfile/Canvases.h"

namespace korvel {

namespace {

// Offsets of the Methodref entries that call a constructor of the class named `owner`.
std::vector<std::size_t> ConstructorRefs(const ClassOutline& outline, std::string_view owner) {
  std::vector<std::size_t> refs;
  const std::vector<Constant>& pool = outline.Pool();
  for (std::size_t index = 1; index < pool.size(); ++index) {
    if (pool[index].tag != ConstantTag::kMethodref) continue;
    if (outline.ClassName(outline.IndexIn(pool[index], 1)) != owner) continue;
    if (outline.Reference(static_cast<std::uint16_t>(index)).name == "<init>") {
      refs.push_back(pool[index].offset);
    }
  }
  return refs;
}

// The class extends `target` instead of `base`; a constructor must call its direct super
// class's constructor, so those calls move along, and every other use of `base` stays.
void ReplaceSuperClass(PoolEditor& editor, std::string_view base, std::string_view target) {
  const std::vector<std::size_t> constructor_refs = ConstructorRefs(editor.Outline(), base);
  const std::uint16_t class_index = editor.Class(target);
  editor.SetSuperClass(class_index);
  for (std::size_t offset : constructor_refs) editor.SetU2(offset + 1, class_index);
}

std::optional<std::string_view> RenamedHandler(std::string_view name, std::string_view descriptor) {
  if (descriptor != kKeyHandlerDescriptor) return std::nullopt;
  for (const KeyHandlerName& handler : kKeyHandlerNames) {
    if (name == handler.original) return handler.renamed;
  }
  return std::nullopt;
}

}  // namespace

CanvasKind RedirectCanvas(PoolEditor& editor, bool keys) {
  const ClassOutline& outline = editor.Outline();
  // The injected classes extend the MIDP canvases themselves and must go on doing so.
  if (FindInjectedCanvas(outline.ClassName(outline.ThisClass()))) return CanvasKind::kOther;
  if (outline.SuperClass() == 0) return CanvasKind::kOther;
  const std::string_view base = outline.ClassName(outline.SuperClass());
  if (base == kCanvasClassName || base == kGameCanvasClassName) {
    const bool game_canvas = base == kGameCanvasClassName;
    ReplaceSuperClass(editor, base, InjectedCanvasName(game_canvas, keys));
    return game_canvas ? CanvasKind::kGameCanvas : CanvasKind::kCanvas;
  }
  const std::optional<InjectedCanvas> ours = FindInjectedCanvas(base);
  if (!ours) return CanvasKind::kOther;
  // A game adapted before: with keys now, its canvases move onto the key canvases.
  if (keys && !ours->keys) {
    ReplaceSuperClass(editor, base, InjectedCanvasName(ours->game_canvas, true));
  }
  return ours->game_canvas ? CanvasKind::kFullGameCanvas : CanvasKind::kFullCanvas;
}

bool RenameKeyHandlers(PoolEditor& editor, const std::set<std::string>& canvases) {
  const ClassOutline& outline = editor.Outline();
  const bool is_canvas = canvases.count(std::string(outline.ClassName(outline.ThisClass()))) != 0;
  bool changed = false;
  for (const MethodOutline& method : outline.Methods()) {
    if (!is_canvas) break;
    if (const auto renamed =
            RenamedHandler(outline.Utf8(method.name), outline.Utf8(method.descriptor))) {
      editor.SetU2(method.name_offset, editor.Utf8(*renamed));
      changed = true;
    }
  }
  const std::vector<Constant>& pool = outline.Pool();
  for (std::size_t index = 1; index < pool.size(); ++index) {
    if (pool[index].tag != ConstantTag::kMethodref) continue;
    const MemberRef ref = outline.Reference(static_cast<std::uint16_t>(index));
    const auto renamed = RenamedHandler(ref.name, ref.descriptor);
    if (!renamed) continue;
    const bool on_game_canvas = canvases.count(std::string(ref.owner)) != 0;
    // super.keyPressed(k) from a game's canvas: the renamed handler is found from its super
    // class on, since the handset's canvas has none.
    const bool on_root = is_canvas && IsCanvasRoot(ref.owner);
    if (!on_game_canvas && !on_root) continue;
    if (on_root) editor.SetU2(pool[index].offset + 1, editor.SuperClass());
    const std::uint16_t name = editor.Utf8(*renamed);
    editor.SetU2(pool[index].offset + 3, editor.NameAndType(name, ref.descriptor_index));
    changed = true;
  }
  return changed;
}

bool RefersToPackage(std::string_view bytes, std::string_view prefix) {
  // Every window that ends before the last byte.
  if (prefix.empty() || bytes.size() <= prefix.size()) return false;
  return bytes.substr(0, bytes.size() - 1).find(prefix) != std::string_view::npos;
}

}  // namespace korvel

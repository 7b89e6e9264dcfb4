// Arbitrary bytes through the passes as the class step runs them on one class: the redirect onto
// the key canvases and the key-handler rename on one editor, then the package test. A class the
// passes accept must read again, and running them once more must leave it as it is.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "pipeline/ClassPasses.h"
#include "pipeline/InjectedClasses.h"
#include "pipeline/KeyHandlers.h"

namespace {

korvel::CanvasKind Adapt(std::string& bytes, const std::set<std::string>& canvases) {
  const korvel::ClassOutline outline(bytes);
  korvel::PoolEditor editor(outline);
  const korvel::CanvasKind kind = korvel::RedirectCanvas(editor, true);
  korvel::RenameKeyHandlers(editor, canvases);
  if (editor.Changed()) {
    std::string changed = editor.Bytes();
    bytes = std::move(changed);
  }
  return kind;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using korvel::CanvasKind;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  korvel::RefersToPackage(bytes, korvel::kNokiaPackagePrefix);
  std::set<std::string> canvases;
  try {
    const korvel::ClassKeyFacts facts = korvel::ReadClassKeyFacts(bytes);
    canvases = korvel::CanvasDescendants({facts}, true);
    canvases.insert(facts.name);
  } catch (const korvel::ClassFormatError&) {
  }
  const std::string original = bytes;
  CanvasKind kind;
  try {
    kind = Adapt(bytes, canvases);
  } catch (const korvel::ClassFormatError&) {
    if (bytes != original) __builtin_trap();
    return 0;
  }
  const std::string once = bytes;
  const CanvasKind again = Adapt(bytes, canvases);  // must not raise
  if (bytes != once) __builtin_trap();
  if (kind == CanvasKind::kCanvas && again != CanvasKind::kFullCanvas) __builtin_trap();
  if (kind == CanvasKind::kGameCanvas && again != CanvasKind::kFullGameCanvas) __builtin_trap();
  return 0;
}

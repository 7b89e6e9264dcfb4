// Arbitrary bytes through the class reader and the canvas redirect. A class the redirect accepts
// must read again as a class, and redirecting it once more must change nothing.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pipeline/ClassFile.h"
#include "pipeline/GameClasses.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using korvel::CanvasKind;
  std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string original = bytes;
  CanvasKind kind;
  try {
    kind = korvel::RedirectCanvasClass(bytes);
  } catch (const korvel::ClassFormatError&) {
    if (bytes != original) __builtin_trap();  // a refused class is left as it was
    return 0;
  }
  if (kind != CanvasKind::kCanvas && kind != CanvasKind::kGameCanvas) {
    if (bytes != original) __builtin_trap();
    return 0;
  }
  const std::string redirected = bytes;
  const CanvasKind again = korvel::RedirectCanvasClass(bytes);  // must not raise
  const CanvasKind expected =
      kind == CanvasKind::kCanvas ? CanvasKind::kFullCanvas : CanvasKind::kFullGameCanvas;
  if (again != expected || bytes != redirected) __builtin_trap();
  return 0;
}

// Arbitrary bytes through the key-handler rename, with the class itself and the classes it names
// as the canvases. A class the rename accepts must read again as a class with the same members,
// and renaming it once more must change nothing.
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>

#include "pipeline/KeyHandlers.h"
#include "pipeline/classfile/ClassModel.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string bytes(reinterpret_cast<const char*>(data), size);
  const std::string original = bytes;
  std::set<std::string> canvases;
  std::size_t methods = 0;
  try {
    const korvel::ClassOutline outline(bytes);
    methods = outline.Methods().size();
    for (std::size_t i = 1; i < outline.Pool().size(); ++i) {
      if (outline.Pool()[i].tag == korvel::ConstantTag::kClass) {
        canvases.insert(std::string(outline.ClassName(static_cast<std::uint16_t>(i))));
      }
    }
  } catch (const korvel::ClassFormatError&) {
  }
  bool changed = false;
  try {
    changed = korvel::RenameKeyHandlers(bytes, canvases);
  } catch (const korvel::ClassFormatError&) {
    if (bytes != original) __builtin_trap();  // a refused class is left as it was
    return 0;
  }
  if (!changed) {
    if (bytes != original) __builtin_trap();
    return 0;
  }
  const korvel::ClassOutline renamed(bytes);  // must not raise
  if (renamed.Methods().size() != methods) __builtin_trap();
  const std::string once = bytes;
  if (korvel::RenameKeyHandlers(bytes, canvases) || bytes != once) __builtin_trap();
  return 0;
}

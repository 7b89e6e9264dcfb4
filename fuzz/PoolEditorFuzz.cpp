// Arbitrary bytes through the pool editor, with edits drawn from the class itself: each Utf8
// constant looked up again, and with a "$" after it appended as a name and a class; each
// NameAndType and Methodref looked up again; the super class moved onto a new class. The edited
// class must read again, with every constant the editor handed out where it said.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "pipeline/classfile/ClassModel.h"
#include "pipeline/classfile/PoolEditor.h"

namespace {

using korvel::ConstantTag;

struct Handed {
  std::uint16_t index;
  std::string name;
  bool is_class;
};

constexpr std::size_t kMaxEdits = 64;

void Edit(const korvel::ClassOutline& outline, korvel::PoolEditor& editor,
          std::vector<Handed>& handed) {
  for (std::size_t i = 1; i < outline.Pool().size() && handed.size() < kMaxEdits; ++i) {
    const auto index = static_cast<std::uint16_t>(i);
    const korvel::Constant& entry = outline.Pool()[i];
    if (entry.tag == ConstantTag::kUtf8) {
      const std::string text(outline.Utf8(index));
      if (editor.Utf8(text) > index) __builtin_trap();  // the first equal one is found
      handed.push_back({editor.Utf8(text + "$"), text + "$", false});
      handed.push_back({editor.Class(text + "$"), text + "$", true});
    } else if (entry.tag == ConstantTag::kNameAndType) {
      editor.NameAndType(outline.IndexIn(entry, 1), outline.IndexIn(entry, 3));
    } else if (entry.tag == ConstantTag::kMethodref) {
      editor.Methodref(outline.IndexIn(entry, 1), outline.IndexIn(entry, 3));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  std::vector<Handed> handed;
  std::string edited;
  try {
    const korvel::ClassOutline outline(bytes);
    korvel::PoolEditor editor(outline);
    Edit(outline, editor, handed);
    const std::uint16_t moved = editor.Class("fuzz/Moved");
    handed.push_back({moved, "fuzz/Moved", true});
    editor.SetSuperClass(moved);
    edited = editor.Bytes();
  } catch (const korvel::ClassFormatError&) {
    return 0;
  }
  const korvel::ClassOutline again(edited);  // must not raise
  for (const Handed& h : handed) {
    const std::string_view read = h.is_class ? again.ClassName(h.index) : again.Utf8(h.index);
    if (read != h.name) __builtin_trap();
  }
  if (again.ClassName(again.SuperClass()) != "fuzz/Moved") __builtin_trap();
  return 0;
}

// Arbitrary bytes through the bytecode walk: as the code of each method when they read as a class
// (and through the key facts, which look into the instructions), else as code themselves. A walk
// that goes through must cover the code exactly, instruction after instruction.
#include <cstddef>
#include <cstdint>
#include <string>

#include "pipeline/KeyHandlers.h"
#include "pipeline/classfile/Bytecode.h"
#include "pipeline/classfile/ClassModel.h"

namespace {

void Walk(std::string_view code) {
  const korvel::Bytecode bytecode(code);
  std::size_t next = 0;
  try {
    bytecode.ForEach([&](std::size_t pc, std::uint8_t) {
      if (pc != next) __builtin_trap();
      next = pc + bytecode.LengthAt(pc);
    });
  } catch (const korvel::ClassFormatError&) {
    return;
  }
  if (next != code.size()) __builtin_trap();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  try {
    const korvel::ClassOutline outline(bytes);
    for (const korvel::MethodOutline& method : outline.Methods()) {
      if (method.code_offset != 0)
        Walk(outline.Bytes().substr(method.code_offset, method.code_length));
    }
    korvel::ReadClassKeyFacts(outline);
  } catch (const korvel::ClassFormatError&) {
    Walk(bytes);
  }
  return 0;
}

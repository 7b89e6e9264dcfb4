// A method's code as instructions.
#include "pipeline/classfile/Bytecode.h"

#include <array>
#include <string>

#include "pipeline/classfile/ClassModel.h"

namespace korvel {

namespace {

// The length of each instruction of a fixed length; 0 for the switches and wide, whose length
// depends on their operands, and for opcodes no class file may carry.
constexpr std::array<std::uint8_t, 256> kLengths = [] {
  std::array<std::uint8_t, 256> t{};
  const auto set = [&t](int from, int to, std::uint8_t length) {
    for (int op = from; op <= to; ++op) t[static_cast<std::size_t>(op)] = length;
  };
  set(0x00, 0x0f, 1);  // nop, constants
  set(0x10, 0x10, 2);  // bipush
  set(0x11, 0x11, 3);  // sipush
  set(0x12, 0x12, 2);  // ldc
  set(0x13, 0x14, 3);  // ldc_w, ldc2_w
  set(0x15, 0x19, 2);  // loads with an index
  set(0x1a, 0x35, 1);
  set(0x36, 0x3a, 2);  // stores with an index
  set(0x3b, 0x83, 1);
  set(0x84, 0x84, 3);  // iinc
  set(0x85, 0x98, 1);
  set(0x99, 0xa8, 3);  // branches, jsr
  set(0xa9, 0xa9, 2);  // ret
  set(0xac, 0xb1, 1);  // returns
  set(0xb2, 0xb8, 3);  // fields, invokevirtual, invokespecial, invokestatic
  set(0xb9, 0xba, 5);  // invokeinterface, invokedynamic
  set(0xbb, 0xbb, 3);  // new
  set(0xbc, 0xbc, 2);  // newarray
  set(0xbd, 0xbd, 3);  // anewarray
  set(0xbe, 0xbf, 1);  // arraylength, athrow
  set(0xc0, 0xc1, 3);  // checkcast, instanceof
  set(0xc2, 0xc3, 1);  // monitors
  set(0xc5, 0xc5, 4);  // multianewarray
  set(0xc6, 0xc7, 3);  // ifnull, ifnonnull
  set(0xc8, 0xc9, 5);  // goto_w, jsr_w
  return t;
}();

constexpr std::size_t kWideIincLength = 6;
constexpr std::size_t kWideLength = 4;
constexpr std::uint8_t kIinc = 0x84;

}  // namespace

std::uint8_t Bytecode::U1(std::size_t at) const {
  if (at >= code_.size()) throw ClassFormatError("an instruction overruns a method's code");
  return static_cast<std::uint8_t>(code_[at]);
}

std::uint16_t Bytecode::U2(std::size_t at) const {
  return static_cast<std::uint16_t>(U1(at) << 8 | U1(at + 1));
}

std::int32_t Bytecode::S4(std::size_t at) const {
  return static_cast<std::int32_t>(static_cast<std::uint32_t>(U2(at)) << 16 | U2(at + 2));
}

Bytecode::Switch Bytecode::SwitchAt(std::size_t pc, bool table) const {
  Switch s;
  s.base = (pc + 4) & ~std::size_t{3};
  if (table) {
    s.low = S4(s.base + 4);
    const std::int32_t high = S4(s.base + 8);
    if (high < s.low) throw ClassFormatError("a tableswitch has no range");
    s.count = static_cast<std::size_t>(static_cast<std::int64_t>(high) - s.low) + 1;
    if (s.count > code_.size()) throw ClassFormatError("a tableswitch overruns a method's code");
    U1(s.base + 12 + 4 * s.count - 1);
    return s;
  }
  const std::int32_t pairs = S4(s.base + 4);
  if (pairs < 0 || static_cast<std::size_t>(pairs) > code_.size()) {
    throw ClassFormatError("a lookupswitch overruns a method's code");
  }
  s.count = static_cast<std::size_t>(pairs);
  if (s.count > 0) U1(s.base + 8 + 8 * s.count - 1);
  return s;
}

std::size_t Bytecode::LengthAt(std::size_t pc) const {
  const std::uint8_t op = U1(pc);
  std::size_t length = kLengths[op];
  if (op == static_cast<std::uint8_t>(Op::kTableswitch)) {
    const Switch s = SwitchAt(pc, true);
    length = s.base + 12 + 4 * s.count - pc;
  } else if (op == static_cast<std::uint8_t>(Op::kLookupswitch)) {
    const Switch s = SwitchAt(pc, false);
    length = s.base + 8 + 8 * s.count - pc;
  } else if (op == static_cast<std::uint8_t>(Op::kWide)) {
    length = U1(pc + 1) == kIinc ? kWideIincLength : kWideLength;
  }
  if (length == 0) throw ClassFormatError("unknown instruction " + std::to_string(op));
  U1(pc + length - 1);
  return length;
}

void Bytecode::ForEach(const std::function<void(std::size_t, std::uint8_t)>& visit) const {
  for (std::size_t pc = 0; pc < code_.size();) {
    const std::size_t length = LengthAt(pc);
    visit(pc, static_cast<std::uint8_t>(code_[pc]));
    pc += length;
  }
}

}  // namespace korvel

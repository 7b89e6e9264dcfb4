// A method's code as instructions: the opcodes the program looks at, by name, and one walk that
// finds where each instruction starts, every read checked against the end of the code.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string_view>

namespace korvel {

// The opcodes the program reads or writes by name; every other one is known to the walk by its
// length only.
enum class Op : std::uint8_t {
  kIconstM1 = 0x02,
  kIconst0 = 0x03,
  kIconst5 = 0x08,
  kBipush = 0x10,
  kSipush = 0x11,
  kLdc = 0x12,
  kLdcW = 0x13,
  kIload = 0x15,
  kIload0 = 0x1a,
  kIload3 = 0x1d,
  kIfIcmpeq = 0x9f,
  kIfIcmple = 0xa4,
  kTableswitch = 0xaa,
  kLookupswitch = 0xab,
  kIreturn = 0xac,
  kGetstatic = 0xb2,
  kGetfield = 0xb4,
  kInvokevirtual = 0xb6,
  kInvokespecial = 0xb7,
  kInvokestatic = 0xb8,
  kInvokeinterface = 0xb9,
  kWide = 0xc4,
};

// One method's code, read as instructions.
class Bytecode {
 public:
  explicit Bytecode(std::string_view code) : code_(code) {}

  std::size_t Size() const { return code_.size(); }
  // Bytes of the code; raise ClassFormatError past its end.
  std::uint8_t U1(std::size_t at) const;
  std::uint16_t U2(std::size_t at) const;
  std::int32_t S4(std::size_t at) const;

  // The length of the instruction at `pc`, switches and wide included; raises ClassFormatError
  // for an unknown opcode or one that overruns the code.
  std::size_t LengthAt(std::size_t pc) const;

  // Calls `visit(pc, op)` for each instruction in order; raises as LengthAt does.
  void ForEach(const std::function<void(std::size_t pc, std::uint8_t op)>& visit) const;

  // A switch's parts: the offset of its default and where its table of four-byte values starts.
  struct Switch {
    std::size_t base = 0;   // of the default offset, after the padding
    std::int32_t low = 0;   // tableswitch: the first key
    std::size_t count = 0;  // entries: keys of a tableswitch, pairs of a lookupswitch
  };
  // The switch at `pc` (a tableswitch when `table`), checked to lie within the code.
  Switch SwitchAt(std::size_t pc, bool table) const;

 private:
  std::string_view code_;
};

}  // namespace korvel

// The class-file toolkit: the bytecode walk, the pool editor and the member reference walk.
#include <gtest/gtest.h>

#include <vector>

#include "pipeline/classfile/Bytecode.h"
#include "pipeline/classfile/ClassModel.h"
#include "pipeline/classfile/PoolEditor.h"
#include "tests/pipeline/TestClasses.h"

namespace korvel {
namespace {

using test::ClassBytes;
using test::U2;

std::vector<std::size_t> Starts(const std::string& code) {
  std::vector<std::size_t> starts;
  Bytecode(code).ForEach([&](std::size_t pc, std::uint8_t) { starts.push_back(pc); });
  return starts;
}

std::string Bytes(std::initializer_list<int> values) {
  std::string out;
  for (int v : values) out += static_cast<char>(v);
  return out;
}

TEST(Bytecode, EveryInstructionStartsWhereTheLastEnded) {
  const struct {
    std::string code;
    std::vector<std::size_t> starts;  // empty: refused
  } cases[] = {
      {Bytes({0x11, 0x00, 0x80, 0xAC}), {0, 3}},                                // sipush; ireturn
      {Bytes({0x2A, 0xB7, 0x00, 0x0D, 0xB9, 0, 1, 1, 0, 0xB1}), {0, 1, 4, 9}},  // invokes
      {Bytes({0xC4, 0x84, 0, 1, 0, 2, 0xC4, 0x15, 0, 1, 0xB1}), {0, 6, 10}},    // wide
      // tableswitch at 1: padding to 4, default, 0..1, two offsets
      {Bytes({0x00, 0xAA, 0, 0, 0, 0, 0, 9, 0, 0, 0, 0, 0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0xB1}),
       {0, 1, 24}},
      // lookupswitch at 0: padding, default, one pair
      {Bytes({0xAB, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 1, 0xFF, 0xFF, 0xFF, 0xFA, 0, 0, 0, 5, 0xB1}),
       {0, 20}},
      {Bytes({0x11, 0x00}), {}},                                         // operand cut off
      {Bytes({0xCA}), {}},                                               // breakpoint: unknown
      {Bytes({0xAA, 0, 0, 0, 0, 0, 0, 9, 0, 0, 0, 2, 0, 0, 0, 1}), {}},  // high below low
      {Bytes({0xAB, 0, 0, 0, 0, 0, 0, 9, 0x7F, 0xFF, 0xFF, 0xFF}), {}},  // pairs overrun
      {"", {}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::PrintToString(c.code));
    if (c.starts.empty() && !c.code.empty()) {
      EXPECT_THROW(Starts(c.code), ClassFormatError);
    } else {
      EXPECT_EQ(Starts(c.code), c.starts);
    }
  }
}

TEST(PoolEditor, FindsEqualConstantsAndAppendsOthersOnce) {
  const std::string before = ClassBytes("game/Screen", "javax/microedition/lcdui/Canvas");
  const ClassOutline outline(before);
  PoolEditor editor(outline);
  EXPECT_FALSE(editor.Changed());
  EXPECT_EQ(editor.Utf8("repaint"), 9);
  EXPECT_EQ(editor.Class("javax/microedition/lcdui/Canvas"), 4);
  EXPECT_EQ(editor.NameAndType(5, 6), 7);
  EXPECT_EQ(editor.Methodref(4, 7), 8);
  EXPECT_FALSE(editor.Changed());
  EXPECT_EQ(editor.Class("x/Y"), 16);  // its Utf8 at 15
  EXPECT_EQ(editor.Utf8("x/Y"), 15);
  EXPECT_EQ(editor.NameAndType(15, 6), 17);
  EXPECT_EQ(editor.Methodref(16, 17), 18);
  editor.SetSuperClass(16);
  editor.SetU2(outline.Pool()[8].offset + 1, 16);
  EXPECT_EQ(editor.SuperClass(), 16);

  const std::string after = editor.Bytes();
  const ClassOutline changed(after);
  ASSERT_EQ(changed.Pool().size(), 19u);
  EXPECT_EQ(changed.ClassName(changed.SuperClass()), "x/Y");
  EXPECT_EQ(changed.Reference(8).owner, "x/Y");
  EXPECT_EQ(changed.Reference(18).name, "x/Y");
  EXPECT_EQ(changed.Reference(11).owner, "javax/microedition/lcdui/Canvas");
  // Code and attributes keep their bytes.
  EXPECT_EQ(after.substr(changed.PoolEnd() + 6), before.substr(outline.PoolEnd() + 6));
}

TEST(PoolEditor, RefusesAPoolWithNoRoomAndIndexesOutsideTheClass) {
  std::string full = ClassBytes("a", "b");
  const std::size_t pool_end = ClassOutline(full).PoolEnd();
  std::string padding;
  for (int i = 15; i < 0xFFFF; ++i) padding += test::Utf8Constant("");
  full.insert(pool_end, padding);
  full.replace(8, 2, U2(0xFFFF));
  const ClassOutline outline(full);
  PoolEditor editor(outline);
  EXPECT_EQ(editor.Utf8(""), 15);  // found, so there is room for it
  EXPECT_THROW(editor.Utf8("new"), ClassFormatError);
  EXPECT_THROW(editor.SetU2(full.size() - 1, 1), ClassFormatError);
}

TEST(ClassModel, AReferenceNamesAMemberOrIsRefused) {
  const std::string bytes = ClassBytes("game/Screen", "javax/microedition/lcdui/Canvas");
  const ClassOutline outline(bytes);
  const MemberRef ref = outline.Reference(11);
  EXPECT_EQ(ref.owner, "javax/microedition/lcdui/Canvas");
  EXPECT_EQ(ref.name, "repaint");
  EXPECT_EQ(ref.descriptor, "()V");
  EXPECT_EQ(ref.descriptor_index, 6);
  for (std::uint16_t index : {0, 1, 2, 7, 13, 14, 99}) {
    EXPECT_THROW(outline.Reference(index), ClassFormatError) << index;
  }
}

}  // namespace
}  // namespace korvel

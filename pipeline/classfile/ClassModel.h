// The class model: a compiled Java class read once, its constant pool, its own and its super
// class, and where its methods and their code lie, every read checked against the end of the
// bytes. Changes go through a PoolEditor (pipeline/classfile/PoolEditor.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string_view>
#include <vector>

namespace korvel {

// Raised for bytes that are not a well-formed class file; the text says what is wrong.
class ClassFormatError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// Constant pool tags.
enum class ConstantTag : std::uint8_t {
  kUnusable = 0,  // index 0, and the slot after a Long or Double
  kUtf8 = 1,
  kInteger = 3,
  kFloat = 4,
  kLong = 5,
  kDouble = 6,
  kClass = 7,
  kString = 8,
  kFieldref = 9,
  kMethodref = 10,
  kInterfaceMethodref = 11,
  kNameAndType = 12,
  kMethodHandle = 15,
  kMethodType = 16,
  kDynamic = 17,
  kInvokeDynamic = 18,
  kModule = 19,
  kPackage = 20,
};

struct Constant {
  ConstantTag tag = ConstantTag::kUnusable;
  std::size_t offset = 0;  // of the tag byte in the class file
};

// A method: its name and descriptor (indexes of Utf8 entries, not checked until read), where its
// name index sits, and its code when it has a Code attribute that holds it.
struct MethodOutline {
  std::uint16_t name = 0;
  std::uint16_t descriptor = 0;
  std::size_t name_offset = 0;  // of the 2-byte name index in the class file
  std::size_t code_offset = 0;  // of the first instruction; 0 for a method without code
  std::size_t code_length = 0;
};

// What a Methodref, InterfaceMethodref or Fieldref names, through its NameAndType.
struct MemberRef {
  std::string_view owner;  // the internal name of the class
  std::string_view name;
  std::string_view descriptor;
  std::uint16_t class_index = 0;       // of the Class entry
  std::uint16_t name_and_type = 0;     // of the NameAndType entry
  std::uint16_t descriptor_index = 0;  // of the descriptor's Utf8 entry
};

// A class file's outline. It refers to the bytes it was read from, which must outlive it.
class ClassOutline {
 public:
  // Reads `bytes` as a class file; raises ClassFormatError when they are not one, including
  // bytes left over after the last attribute.
  explicit ClassOutline(std::string_view bytes);

  // The pool as the class file numbers it: entry 0 is unusable.
  const std::vector<Constant>& Pool() const { return pool_; }
  // Offset of the access flags, right after the pool.
  std::size_t PoolEnd() const { return pool_end_; }
  std::uint16_t ThisClass() const { return this_class_; }
  std::uint16_t SuperClass() const { return super_class_; }  // 0 only for java/lang/Object
  const std::vector<MethodOutline>& Methods() const { return methods_; }

  // The entry at `index`, which must carry `tag`; raises ClassFormatError otherwise.
  const Constant& Entry(std::uint16_t index, ConstantTag tag) const;
  // The bytes of a Utf8 entry.
  std::string_view Utf8(std::uint16_t index) const;
  // The value of an Integer entry.
  std::int32_t Integer(std::uint16_t index) const;
  // The bytes the outline was read from.
  std::string_view Bytes() const { return bytes_; }
  // The internal name a Class entry names ("javax/microedition/lcdui/Canvas").
  std::string_view ClassName(std::uint16_t index) const;
  // The member a reference entry names; raises ClassFormatError when the entry at `index` is no
  // Methodref, InterfaceMethodref or Fieldref, or what it refers to is missing or of the wrong
  // kind.
  MemberRef Reference(std::uint16_t index) const;
  // The 2-byte number stored `at` bytes after the tag of an entry (1 or 3 for the references of
  // Class, Methodref and NameAndType entries, 1 for a Utf8 entry's length).
  std::uint16_t IndexIn(const Constant& entry, std::size_t at) const;

  class Reader;

 private:
  void ReadMethods(Reader& in);

  std::string_view bytes_;
  std::vector<Constant> pool_;
  std::vector<MethodOutline> methods_;
  std::size_t pool_end_ = 0;
  std::uint16_t this_class_ = 0;
  std::uint16_t super_class_ = 0;
};

}  // namespace korvel

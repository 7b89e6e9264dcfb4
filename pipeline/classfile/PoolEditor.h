// Changes to a class file that leave its code and attributes as they are: constants appended to
// the pool (an existing equal one is used instead) and 2-byte indexes replaced in place.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "pipeline/classfile/ClassModel.h"

namespace korvel {

class PoolEditor {
 public:
  // Edits the class `outline` was read from; the outline and its bytes must outlive the editor.
  explicit PoolEditor(const ClassOutline& outline) : outline_(outline) {}

  const ClassOutline& Outline() const { return outline_; }

  // The index of an equal constant, in the pool or appended before, else of one appended now.
  std::uint16_t Utf8(std::string_view text);
  std::uint16_t Class(std::string_view name);
  std::uint16_t NameAndType(std::uint16_t name, std::uint16_t descriptor);
  std::uint16_t Methodref(std::uint16_t class_index, std::uint16_t name_and_type);

  // Replaces the 2-byte index at `offset` of the class file (inside the pool or after it).
  void SetU2(std::size_t offset, std::uint16_t value);
  // The super class entry, as it stands after the changes so far.
  void SetSuperClass(std::uint16_t class_index);
  std::uint16_t SuperClass() const;

  bool Changed() const { return !patches_.empty() || !added_.empty(); }
  // The class file with the changes; raises ClassFormatError when the pool would hold more
  // entries than a class file can number.
  std::string Bytes() const;

 private:
  // The index of the first entry with `tag` whose body equals `body`, searching the pool and
  // then what was appended; 0 when there is none.
  std::uint16_t Find(ConstantTag tag, std::string_view body) const;
  std::uint16_t FindOrAppend(ConstantTag tag, const std::string& body);

  const ClassOutline& outline_;
  std::string added_;  // appended entries, tags included
  std::vector<std::pair<ConstantTag, std::string>> added_entries_;
  std::map<std::size_t, std::uint16_t> patches_;  // offset -> new value
};

}  // namespace korvel

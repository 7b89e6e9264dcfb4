// Changes to a class file's constant pool and indexes.
#include "pipeline/classfile/PoolEditor.h"

namespace korvel {

namespace {

constexpr std::size_t kPoolCountOffset = 8;
// The super class index follows the access flags and the class index.
constexpr std::size_t kSuperClassAfterPool = 4;
constexpr std::size_t kMaxPoolCount = 0xFFFF;

std::string U2(std::size_t value) {
  return {static_cast<char>(value >> 8 & 0xFF), static_cast<char>(value & 0xFF)};
}

// A constant's body: what follows its tag.
std::size_t BodySize(const ClassOutline& outline, ConstantTag tag, const Constant& entry) {
  switch (tag) {
    case ConstantTag::kUtf8:
      return 2 + outline.IndexIn(entry, 1);
    case ConstantTag::kClass:
      return 2;
    default:
      return 4;
  }
}

}  // namespace

std::uint16_t PoolEditor::Find(ConstantTag tag, std::string_view body) const {
  const std::vector<Constant>& pool = outline_.Pool();
  for (std::size_t index = 1; index < pool.size(); ++index) {
    if (pool[index].tag != tag) continue;
    const std::size_t size = BodySize(outline_, tag, pool[index]);
    if (outline_.Bytes().substr(pool[index].offset + 1, size) == body) {
      return static_cast<std::uint16_t>(index);
    }
  }
  for (std::size_t i = 0; i < added_entries_.size(); ++i) {
    if (added_entries_[i].first == tag && added_entries_[i].second == body) {
      return static_cast<std::uint16_t>(pool.size() + i);
    }
  }
  return 0;
}

std::uint16_t PoolEditor::FindOrAppend(ConstantTag tag, const std::string& body) {
  if (const std::uint16_t found = Find(tag, body)) return found;
  const std::size_t index = outline_.Pool().size() + added_entries_.size();
  if (index >= kMaxPoolCount) throw ClassFormatError("the constant pool has no room left");
  added_ += static_cast<char>(tag);
  added_ += body;
  added_entries_.emplace_back(tag, body);
  return static_cast<std::uint16_t>(index);
}

std::uint16_t PoolEditor::Utf8(std::string_view text) {
  if (text.size() > 0xFFFF) throw ClassFormatError("a name is too long for a class file");
  return FindOrAppend(ConstantTag::kUtf8, U2(text.size()) + std::string(text));
}

std::uint16_t PoolEditor::Class(std::string_view name) {
  const std::uint16_t utf8 = Utf8(name);
  return FindOrAppend(ConstantTag::kClass, U2(utf8));
}

std::uint16_t PoolEditor::NameAndType(std::uint16_t name, std::uint16_t descriptor) {
  return FindOrAppend(ConstantTag::kNameAndType, U2(name) + U2(descriptor));
}

std::uint16_t PoolEditor::Methodref(std::uint16_t class_index, std::uint16_t name_and_type) {
  return FindOrAppend(ConstantTag::kMethodref, U2(class_index) + U2(name_and_type));
}

void PoolEditor::SetU2(std::size_t offset, std::uint16_t value) {
  if (offset + 2 > outline_.Bytes().size()) {
    throw ClassFormatError("an index lies outside the class file");
  }
  patches_[offset] = value;
}

void PoolEditor::SetSuperClass(std::uint16_t class_index) {
  SetU2(outline_.PoolEnd() + kSuperClassAfterPool, class_index);
}

std::uint16_t PoolEditor::SuperClass() const {
  const auto patched = patches_.find(outline_.PoolEnd() + kSuperClassAfterPool);
  return patched == patches_.end() ? outline_.SuperClass() : patched->second;
}

std::string PoolEditor::Bytes() const {
  const std::string_view bytes = outline_.Bytes();
  const std::size_t pool_end = outline_.PoolEnd();
  std::string out;
  out.reserve(bytes.size() + added_.size());
  out.append(bytes.substr(0, pool_end)).append(added_).append(bytes.substr(pool_end));
  const auto put = [&out](std::size_t at, std::size_t value) { out.replace(at, 2, U2(value)); };
  if (!added_.empty()) put(kPoolCountOffset, outline_.Pool().size() + added_entries_.size());
  for (const auto& [offset, value] : patches_) {
    put(offset < pool_end ? offset : offset + added_.size(), value);
  }
  return out;
}

}  // namespace korvel

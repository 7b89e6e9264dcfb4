// Reading a compiled Java class.
#include "pipeline/classfile/ClassModel.h"

#include <string>

namespace korvel {

namespace {

constexpr std::uint32_t kMagic = 0xCAFEBABE;

}  // namespace

// Reads big-endian numbers from the front of the bytes; never past their end.
class ClassOutline::Reader {
 public:
  explicit Reader(std::string_view bytes) : bytes_(bytes) {}

  std::size_t Position() const { return pos_; }
  bool AtEnd() const { return pos_ == bytes_.size(); }

  void Skip(std::size_t count, const char* what) {
    if (count > bytes_.size() - pos_) {
      throw ClassFormatError(std::string("the class file ends inside ") + what);
    }
    pos_ += count;
  }
  std::uint32_t Number(std::size_t width, const char* what) {
    const std::size_t at = pos_;
    Skip(width, what);
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < width; ++i) {
      value = value << 8 | static_cast<unsigned char>(bytes_[at + i]);
    }
    return value;
  }
  std::uint8_t U1(const char* what) { return static_cast<std::uint8_t>(Number(1, what)); }
  std::uint16_t U2(const char* what) { return static_cast<std::uint16_t>(Number(2, what)); }
  std::uint32_t U4(const char* what) { return Number(4, what); }

 private:
  std::string_view bytes_;
  std::size_t pos_ = 0;
};

namespace {

using Reader = ClassOutline::Reader;

// How many bytes follow the tag of a constant; 0 for a tag no class file may carry.
std::size_t ConstantBodySize(ConstantTag tag) {
  switch (tag) {
    case ConstantTag::kClass:
    case ConstantTag::kString:
    case ConstantTag::kMethodType:
    case ConstantTag::kModule:
    case ConstantTag::kPackage:
      return 2;
    case ConstantTag::kMethodHandle:
      return 3;
    case ConstantTag::kInteger:
    case ConstantTag::kFloat:
    case ConstantTag::kFieldref:
    case ConstantTag::kMethodref:
    case ConstantTag::kInterfaceMethodref:
    case ConstantTag::kNameAndType:
    case ConstantTag::kDynamic:
    case ConstantTag::kInvokeDynamic:
      return 4;
    case ConstantTag::kLong:
    case ConstantTag::kDouble:
      return 8;
    default:
      return 0;
  }
}

// Fields and methods share one layout: flags, name, descriptor, attributes.
void SkipAttributes(Reader& in) {
  const std::uint16_t count = in.U2("an attribute count");
  for (std::uint16_t i = 0; i < count; ++i) {
    in.U2("an attribute name");
    in.Skip(in.U4("an attribute length"), "an attribute");
  }
}

void SkipMembers(Reader& in, const char* what) {
  const std::uint16_t count = in.U2(what);
  for (std::uint16_t i = 0; i < count; ++i) {
    in.Skip(6, what);
    SkipAttributes(in);
  }
}

// A Code attribute's fixed part before the code: max_stack, max_locals, code_length.
constexpr std::size_t kCodeHeaderSize = 8;

}  // namespace

void ClassOutline::ReadMethods(Reader& in) {
  const std::uint16_t count = in.U2("the methods");
  methods_.reserve(count);
  for (std::uint16_t i = 0; i < count; ++i) {
    in.U2("the methods");
    MethodOutline method;
    method.name_offset = in.Position();
    method.name = in.U2("the methods");
    method.descriptor = in.U2("the methods");
    const std::uint16_t attributes = in.U2("an attribute count");
    for (std::uint16_t a = 0; a < attributes; ++a) {
      const std::uint16_t name = in.U2("an attribute name");
      const std::uint32_t length = in.U4("an attribute length");
      const std::size_t start = in.Position();
      in.Skip(length, "an attribute");
      // The outline only notes where the code is; what a Code attribute holds is checked by
      // whoever reads the code, so that a class with odd code can still be redirected.
      if (name >= pool_.size() || pool_[name].tag != ConstantTag::kUtf8 || Utf8(name) != "Code" ||
          length < kCodeHeaderSize) {
        continue;
      }
      Reader code(bytes_.substr(start, length));
      code.Skip(4, "a Code attribute");
      const std::uint32_t code_length = code.U4("a Code attribute");
      if (code_length > length - kCodeHeaderSize) continue;
      method.code_offset = start + kCodeHeaderSize;
      method.code_length = code_length;
    }
    methods_.push_back(method);
  }
}

ClassOutline::ClassOutline(std::string_view bytes) : bytes_(bytes) {
  Reader in(bytes);
  if (in.U4("the magic number") != kMagic) throw ClassFormatError("not a class file");
  in.Skip(4, "the version");

  const std::uint16_t count = in.U2("the constant pool count");
  if (count == 0) throw ClassFormatError("the constant pool count is 0");
  pool_.resize(count);
  for (std::uint16_t index = 1; index < count; ++index) {
    const std::size_t offset = in.Position();
    const auto tag = static_cast<ConstantTag>(in.U1("the constant pool"));
    pool_[index] = {tag, offset};
    if (tag == ConstantTag::kUtf8) {
      in.Skip(in.U2("the constant pool"), "the constant pool");
      continue;
    }
    const std::size_t size = ConstantBodySize(tag);
    if (size == 0) {
      throw ClassFormatError("unknown constant pool tag " + std::to_string(static_cast<int>(tag)) +
                             " at entry " + std::to_string(index));
    }
    in.Skip(size, "the constant pool");
    if (tag == ConstantTag::kLong || tag == ConstantTag::kDouble) {
      if (++index == count) throw ClassFormatError("a long constant overruns the pool");
    }
  }
  pool_end_ = in.Position();

  in.U2("the access flags");
  this_class_ = in.U2("the class index");
  super_class_ = in.U2("the super class index");
  ClassName(this_class_);
  if (super_class_ != 0) ClassName(super_class_);
  const std::uint16_t interfaces = in.U2("the interface count");
  in.Skip(2 * static_cast<std::size_t>(interfaces), "the interfaces");
  SkipMembers(in, "the fields");
  ReadMethods(in);
  SkipAttributes(in);
  if (!in.AtEnd()) throw ClassFormatError("bytes follow the last attribute");
}

const Constant& ClassOutline::Entry(std::uint16_t index, ConstantTag tag) const {
  if (index == 0 || index >= pool_.size() || pool_[index].tag != tag) {
    throw ClassFormatError("constant pool entry " + std::to_string(index) +
                           " is missing or of the wrong kind");
  }
  return pool_[index];
}

std::uint16_t ClassOutline::IndexIn(const Constant& entry, std::size_t at) const {
  // Every entry's body was checked to lie within the bytes when the pool was read.
  const std::size_t pos = entry.offset + at;
  return static_cast<std::uint16_t>(static_cast<unsigned char>(bytes_[pos]) << 8 |
                                    static_cast<unsigned char>(bytes_[pos + 1]));
}

std::string_view ClassOutline::Utf8(std::uint16_t index) const {
  const Constant& entry = Entry(index, ConstantTag::kUtf8);
  return bytes_.substr(entry.offset + 3, IndexIn(entry, 1));
}

std::int32_t ClassOutline::Integer(std::uint16_t index) const {
  const Constant& entry = Entry(index, ConstantTag::kInteger);
  const std::uint32_t value =
      static_cast<std::uint32_t>(IndexIn(entry, 1)) << 16 | IndexIn(entry, 3);
  return static_cast<std::int32_t>(value);
}

std::string_view ClassOutline::ClassName(std::uint16_t index) const {
  return Utf8(IndexIn(Entry(index, ConstantTag::kClass), 1));
}

MemberRef ClassOutline::Reference(std::uint16_t index) const {
  const ConstantTag tag = index < pool_.size() ? pool_[index].tag : ConstantTag::kUnusable;
  if (tag != ConstantTag::kMethodref && tag != ConstantTag::kInterfaceMethodref &&
      tag != ConstantTag::kFieldref) {
    throw ClassFormatError("constant pool entry " + std::to_string(index) + " names no member");
  }
  const Constant& entry = pool_[index];
  MemberRef ref;
  ref.class_index = IndexIn(entry, 1);
  ref.name_and_type = IndexIn(entry, 3);
  ref.owner = ClassName(ref.class_index);
  const Constant& name_and_type = Entry(ref.name_and_type, ConstantTag::kNameAndType);
  ref.name = Utf8(IndexIn(name_and_type, 1));
  ref.descriptor_index = IndexIn(name_and_type, 3);
  ref.descriptor = Utf8(ref.descriptor_index);
  return ref;
}

}  // namespace korvel

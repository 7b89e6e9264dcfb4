// The catalogue of what the adaptation puts into a game, and writing it.
#include "pipeline/InjectedClasses.h"

#include "pipeline/classfile/ClassModel.h"
#include "platform/FileError.h"
#include "platform/Files.h"
#include "store/Stream.h"

namespace korvel {

namespace {

// KeyMap as the program carries it holds these values where the codes go: the handset's seven,
// then the game's.
constexpr std::int32_t kFirstKeyPlaceholder = 0x4B590000;
constexpr std::size_t kKeyCodeCount = 2 * kLayoutKeyCount;
constexpr std::uint8_t kSipush = 0x11;

using KeySlots = std::array<std::uint16_t, kKeyCodeCount>;  // pool indexes of the codes

// The pool indexes of the carried key map's placeholders, in code order.
KeySlots KeyPlaceholders(const ClassOutline& outline) {
  KeySlots slots{};
  std::size_t found = 0;
  for (std::size_t index = 1; index < outline.Pool().size(); ++index) {
    if (outline.Pool()[index].tag != ConstantTag::kInteger) continue;
    const std::int64_t slot =
        static_cast<std::int64_t>(outline.Integer(static_cast<std::uint16_t>(index))) -
        kFirstKeyPlaceholder;
    if (slot < 0 || slot >= static_cast<std::int64_t>(kKeyCodeCount)) continue;
    slots[static_cast<std::size_t>(slot)] = static_cast<std::uint16_t>(index);
    ++found;
  }
  if (found != kKeyCodeCount) throw ClassFormatError("the carried KeyMap lacks its placeholders");
  return slots;
}

// Where the constant a method "int NAME()" returns sits: its first instruction's sipush operand.
std::size_t ReturnedConstant(const ClassOutline& outline, std::string_view name) {
  for (const MethodOutline& method : outline.Methods()) {
    if (outline.Utf8(method.name) != name || outline.Utf8(method.descriptor) != "()I") continue;
    const std::string_view bytes = outline.Bytes();
    if (method.code_length >= 3 &&
        static_cast<std::uint8_t>(bytes[method.code_offset]) == kSipush) {
      return method.code_offset + 1;
    }
  }
  throw ClassFormatError("the class returns no size from " + std::string(name));
}

void PutBigEndian(std::string& bytes, std::size_t at, std::uint32_t value, std::size_t width) {
  for (std::size_t b = 0; b < width; ++b) {
    bytes[at + b] = static_cast<char>(value >> (8 * (width - 1 - b)) & 0xFF);
  }
}

std::uint32_t BigEndian(std::string_view bytes, std::size_t at, std::size_t width) {
  std::uint32_t value = 0;
  for (std::size_t b = 0; b < width; ++b)
    value = value << 8 | static_cast<unsigned char>(bytes[at + b]);
  return value;
}

void Configure(std::string& bytes, Configuration configuration, const CanvasSize& size,
               const KeyMapCodes& codes) {
  if (configuration == Configuration::kNone) return;
  const ClassOutline outline(bytes);
  if (configuration == Configuration::kCanvasSize) {
    const std::size_t width = ReturnedConstant(outline, "getWidth");
    const std::size_t height = ReturnedConstant(outline, "getHeight");
    PutBigEndian(bytes, width, static_cast<std::uint32_t>(size.width), 2);
    PutBigEndian(bytes, height, static_cast<std::uint32_t>(size.height), 2);
    return;
  }
  const KeySlots slots = KeyPlaceholders(outline);
  for (std::size_t i = 0; i < kKeyCodeCount; ++i) {
    const int code = i < kLayoutKeyCount ? codes.handset[i] : codes.game[i - kLayoutKeyCount];
    PutBigEndian(bytes, outline.Pool()[slots[i]].offset + 1, static_cast<std::uint32_t>(code), 4);
  }
}

}  // namespace

std::string SizeText(const CanvasSize& size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

bool Needed(const InjectedClass& cls, const InjectedUse& use) {
  if (cls.keys && !use.keys) return false;
  switch (cls.needed_by) {
    case NeededBy::kCanvas:
      return use.canvas;
    case NeededBy::kGameCanvas:
      return use.game_canvas;
    case NeededBy::kAnyCanvas:
      return use.canvas || use.game_canvas;
  }
  return false;
}

std::string StoredItemBytes(const TmxStorage& store, std::string_view item) {
  TmxStoredItem* stored = store.ItemByName(item);
  if (!stored) {
    throw StoreError("The program's store holds no item \"" + std::string(item) + "\"");
  }
  MemoryStream out;
  stored->SaveToStream(&out);
  return out.Bytes();
}

std::string ConfiguredClass(const TmxStorage& store, const InjectedClass& cls,
                            const CanvasSize& size, const KeyMapCodes& codes) {
  std::string bytes = StoredItemBytes(store, cls.item);
  Configure(bytes, cls.configuration, size, codes);
  return bytes;
}

void WriteInjectedClasses(const TmxStorage& store, const std::string& work_dir,
                          const InjectedUse& use, const CanvasSize& size, const KeyMapCodes& codes,
                          bool remove_leftovers) {
  for (const InjectedClass& cls : kInjectedClasses) {
    if (Needed(cls, use)) {
      WriteClassFile(work_dir, cls.path, ConfiguredClass(store, cls, size, codes));
    } else if (remove_leftovers) {
      const std::string path = platform::JoinPath(work_dir, cls.path);
      if (platform::DeleteFile(path)) platform::RemoveDirectory(platform::FolderPart(path));
    }
  }
}

std::optional<CanvasSize> CanvasSizeOf(std::string_view bytes) {
  try {
    const ClassOutline outline(bytes);
    if (!FindInjectedCanvas(outline.ClassName(outline.ThisClass()))) return std::nullopt;
    return CanvasSize{
        static_cast<int>(BigEndian(bytes, ReturnedConstant(outline, "getWidth"), 2)),
        static_cast<int>(BigEndian(bytes, ReturnedConstant(outline, "getHeight"), 2))};
  } catch (const ClassFormatError&) {
    return std::nullopt;
  }
}

std::optional<KeyMapCodes> KeyMapCodesOf(const TmxStorage& store, std::string_view bytes) {
  const std::string carried = StoredItemBytes(store, kKeyMapClass.item);
  if (bytes.size() != carried.size()) return std::nullopt;
  const KeySlots slots = KeyPlaceholders(ClassOutline(carried));
  try {
    const ClassOutline outline(bytes);
    KeyMapCodes codes;
    for (std::size_t i = 0; i < kKeyCodeCount; ++i) {
      (i < kLayoutKeyCount ? codes.handset[i] : codes.game[i - kLayoutKeyCount]) =
          outline.Integer(slots[i]);
    }
    return codes;
  } catch (const ClassFormatError&) {
    return std::nullopt;
  }
}

std::string WriteClassFile(const std::string& work_dir, std::string_view path,
                           std::string_view bytes) {
  const std::string class_file = MakeClassFolders(work_dir, path);
  // A game adapted before carries an older copy.
  platform::DeleteFile(class_file);
  platform::BinaryFile file(class_file, platform::BinaryFile::Mode::kCreate);
  file.WriteAt(0, bytes);
  file.Close();
  return class_file;
}

std::string MakeClassFolders(const std::string& work_dir, std::string_view path) {
  // The package folders, one at a time.
  std::string folder = work_dir;
  std::string_view rest = path;
  for (std::size_t slash; (slash = rest.find('/')) != std::string_view::npos;
       rest.remove_prefix(slash + 1)) {
    folder = platform::JoinPath(folder, std::string(rest.substr(0, slash)));
    if (!platform::DirectoryExists(folder)) platform::CreateDirectory(folder);
  }
  return platform::JoinPath(folder, std::string(rest));
}

}  // namespace korvel

// Writing the key canvases into an unpacked game.
#include "pipeline/KeyCanvasClasses.h"

#include <cerrno>

#include "payload/ProgramStore.h"
#include "pipeline/ClassFile.h"
#include "pipeline/FullScreenClass.h"
#include "platform/FileError.h"
#include "platform/Files.h"
#include "store/Stream.h"

namespace korvel {

namespace {

// KeyMap as the program carries it holds these values where the codes go: the handset's seven,
// then the game's.
constexpr std::int32_t kFirstPlaceholder = 0x4B590000;
constexpr std::size_t kCodeCount = 2 * kLayoutKeyCount;

struct KeyMapTemplate {
  std::string bytes;
  std::array<std::size_t, kCodeCount> offsets{};  // of each code's four bytes
};

const KeyMapTemplate& Template(const TmxStorage& store) {
  static const KeyMapTemplate carried = [&store] {
    KeyMapTemplate t;
    TmxStoredItem* item = store.ItemByName(kKeyMapItem);
    if (!item)
      throw StoreError("The program's store has no item \"" + std::string(kKeyMapItem) + "\"");
    MemoryStream out;
    item->SaveToStream(&out);
    t.bytes = out.Bytes();
    const ClassOutline outline(t.bytes);
    std::size_t found = 0;
    for (std::size_t index = 1; index < outline.Pool().size(); ++index) {
      const Constant& entry = outline.Pool()[index];
      if (entry.tag != ConstantTag::kInteger) continue;
      const std::int64_t slot =
          static_cast<std::int64_t>(outline.Integer(static_cast<std::uint16_t>(index))) -
          kFirstPlaceholder;
      if (slot < 0 || slot >= static_cast<std::int64_t>(kCodeCount)) continue;
      t.offsets[static_cast<std::size_t>(slot)] = entry.offset + 1;
      ++found;
    }
    if (found != kCodeCount) throw ClassFormatError("the carried KeyMap lacks its placeholders");
    return t;
  }();
  return carried;
}

std::array<int, kCodeCount> Flat(const KeyMapCodes& codes) {
  std::array<int, kCodeCount> flat{};
  for (std::size_t i = 0; i < kLayoutKeyCount; ++i) {
    flat[i] = codes.handset[i];
    flat[kLayoutKeyCount + i] = codes.game[i];
  }
  return flat;
}

}  // namespace

void WriteKeyClasses(const TmxStorage& store, const std::string& work_dir, bool canvas,
                     bool game_canvas, const KeyMapCodes& codes) {
  const auto write_item = [&](std::string_view item, std::string_view path) {
    const std::string class_file = MakeClassFolders(work_dir, path);
    platform::DeleteFile(class_file);
    SaveStoredItem(store, item, class_file);
  };
  if (canvas) write_item(kFullKeyCanvasItem, kFullKeyCanvasPath);
  if (game_canvas) write_item(kFullKeyGameCanvasItem, kFullKeyGameCanvasPath);

  const KeyMapTemplate& t = Template(store);
  std::string bytes = t.bytes;
  const std::array<int, kCodeCount> flat = Flat(codes);
  for (std::size_t i = 0; i < kCodeCount; ++i) {
    const auto value = static_cast<std::uint32_t>(flat[i]);
    for (std::size_t b = 0; b < 4; ++b) {
      bytes[t.offsets[i] + b] = static_cast<char>(value >> (24 - 8 * b) & 0xFF);
    }
  }
  const std::string class_file = MakeClassFolders(work_dir, kKeyMapPath);
  if (!platform::WriteFileAtomically(class_file, bytes, platform::WriteSafety::kAtomicOnly)) {
    ThrowFileError("Cannot create file", class_file, errno);
  }
}

std::optional<KeyMapCodes> InjectedKeyMap(const TmxStorage& store, const std::string& work_dir) {
  const std::optional<std::string> read = ReadClassFile(work_dir, kKeyMapPath);
  if (!read) return std::nullopt;
  const std::string& bytes = *read;
  const KeyMapTemplate& t = Template(store);
  if (bytes.size() != t.bytes.size()) return std::nullopt;
  KeyMapCodes codes;
  for (std::size_t i = 0; i < kCodeCount; ++i) {
    std::uint32_t value = 0;
    for (std::size_t b = 0; b < 4; ++b) {
      value = value << 8 | static_cast<unsigned char>(bytes[t.offsets[i] + b]);
    }
    (i < kLayoutKeyCount ? codes.handset[i] : codes.game[i - kLayoutKeyCount]) =
        static_cast<std::int32_t>(value);
  }
  return codes;
}

}  // namespace korvel

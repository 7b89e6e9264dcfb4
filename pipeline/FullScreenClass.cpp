// Writing the full-screen canvas classes into an unpacked game.
#include "pipeline/FullScreenClass.h"

#include "platform/FileError.h"
#include "platform/Files.h"

namespace korvel {

void WriteStringAt(const std::string& file_name, std::uint64_t offset, std::string_view text) {
  platform::BinaryFile file(file_name, platform::BinaryFile::Mode::kReadWrite);
  try {
    file.WriteAt(offset, text);
  } catch (const FileError&) {
    // A byte that cannot be written leaves the carried default size in place.
  }
  file.Close();
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

std::string WriteCanvasClass(const TmxStorage& store, const std::string& work_dir,
                             const InjectedCanvasClass& cls, std::uint8_t width,
                             std::uint8_t height) {
  const std::string class_file = MakeClassFolders(work_dir, cls.path);
  // A game adapted before carries an older copy with its old size.
  platform::DeleteFile(class_file);
  SaveStoredItem(store, std::string(cls.item), class_file);
  WriteStringAt(class_file, cls.width_offset, std::string(1, static_cast<char>(width)));
  WriteStringAt(class_file, cls.height_offset, std::string(1, static_cast<char>(height)));
  return class_file;
}

std::optional<std::string> ReadClassFile(const std::string& work_dir, std::string_view path) {
  const std::string class_file = platform::JoinPath(work_dir, std::string(path));
  if (!platform::FileExists(class_file)) return std::nullopt;
  try {
    return platform::ReadWholeFile(class_file);
  } catch (const FileError&) {
    return std::nullopt;
  }
}

namespace {

std::optional<CanvasSize> SizeIn(const std::string& work_dir, const InjectedCanvasClass& cls) {
  const std::optional<std::string> read = ReadClassFile(work_dir, cls.path);
  if (!read) return std::nullopt;
  const std::string& bytes = *read;
  if (bytes.size() <= cls.height_offset) return std::nullopt;
  return CanvasSize{static_cast<unsigned char>(bytes[cls.width_offset]),
                    static_cast<unsigned char>(bytes[cls.height_offset])};
}

}  // namespace

std::string SizeText(const CanvasSize& size) {
  return std::to_string(size.width) + "x" + std::to_string(size.height);
}

std::optional<CanvasSize> InjectedCanvasSize(const std::string& work_dir) {
  const auto canvas = SizeIn(work_dir, kFullCanvasClass);
  const auto game_canvas = SizeIn(work_dir, kFullGameCanvasClass);
  if (canvas && game_canvas && *canvas != *game_canvas) return std::nullopt;
  return canvas ? canvas : game_canvas;
}

std::string WriteFullScreenClass(const TmxStorage& store, const std::string& work_dir,
                                 std::uint8_t width, std::uint8_t height) {
  return WriteCanvasClass(store, work_dir, kFullCanvasClass, width, height);
}

}  // namespace korvel

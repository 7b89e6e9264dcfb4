// Writing the full-screen canvas class into an unpacked game.
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

std::string WriteFullScreenClass(const TmxStorage& store, const std::string& work_dir,
                                 std::uint8_t width, std::uint8_t height) {
  std::string folder = work_dir;
  for (const char* part : {"com", "quillmoss", "fullscreen"}) {
    folder = platform::JoinPath(folder, part);
    if (!platform::DirectoryExists(folder)) platform::CreateDirectory(folder);
  }
  const std::string class_file = platform::JoinPath(folder, "FullCn.class");
  // A game adapted before carries an older copy with its old size.
  platform::DeleteFile(class_file);
  SaveStoredItem(store, "FullCn.class", class_file);
  WriteStringAt(class_file, kCanvasWidthOffset, std::string(1, static_cast<char>(width)));
  WriteStringAt(class_file, kCanvasHeightOffset, std::string(1, static_cast<char>(height)));
  return class_file;
}

}  // namespace korvel

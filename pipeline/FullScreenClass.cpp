// Our canvas classes in an unpacked game.
#include "pipeline/FullScreenClass.h"

#include "pipeline/GameClasses.h"
#include "platform/FileError.h"
#include "platform/Files.h"

namespace korvel {

std::string WriteCanvasClass(const TmxStorage& store, const std::string& work_dir,
                             const InjectedClass& cls, std::uint8_t width, std::uint8_t height) {
  MakeClassFolders(work_dir, cls.path);  // a folder that cannot be made is the first failure
  return WriteClassFile(work_dir, cls.path, ConfiguredClass(store, cls, {width, height}, {}));
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

std::optional<CanvasSize> InjectedCanvasSize(const std::string& work_dir) {
  return AgreedCanvasSize(ReadClassFile(work_dir, kFullCanvasClass.path),
                          ReadClassFile(work_dir, kFullGameCanvasClass.path));
}

std::string WriteFullScreenClass(const TmxStorage& store, const std::string& work_dir,
                                 std::uint8_t width, std::uint8_t height) {
  return WriteCanvasClass(store, work_dir, kFullCanvasClass, width, height);
}

}  // namespace korvel

// Times the packing and unpacking engines against Info-ZIP's zip -9 -r and unzip on the same
// trees, and prints the archive sizes side by side.
#include <dlfcn.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "archive/EngineRecords.h"

namespace {

namespace fs = std::filesystem;

const char* const kStoreSuffixes =
    ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha:.rar:.ace:.cab:.gz:.gzip:.jar";

std::int32_t KORVEL_RECORD_CALL Quiet(EngineCallbackRecord*) {
  return 0;
}

struct Engines {
  void* pack_library = nullptr;
  void* unpack_library = nullptr;
  PackExecFn pack_exec = nullptr;
  UnpackExecFn unpack_exec = nullptr;
  GetUnpackVersionFn unpack_version = nullptr;

  bool Load() {
    pack_library = dlopen(KORVEL_PACKENG_PATH, RTLD_NOW);
    unpack_library = dlopen(KORVEL_UNPKENG_PATH, RTLD_NOW);
    if (pack_library == nullptr || unpack_library == nullptr) return false;
    pack_exec = reinterpret_cast<PackExecFn>(dlsym(pack_library, KORVEL_PACK_EXEC_NAME));
    unpack_exec = reinterpret_cast<UnpackExecFn>(dlsym(unpack_library, KORVEL_UNPACK_EXEC_NAME));
    unpack_version =
        reinterpret_cast<GetUnpackVersionFn>(dlsym(unpack_library, KORVEL_UNPACK_VERSION_NAME));
    return pack_exec != nullptr && unpack_exec != nullptr && unpack_version != nullptr;
  }
};

// The main window's packing settings.
std::int32_t Pack(const Engines& engines, const std::string& archive, const std::string& root) {
  PackFileSpec pattern{};
  pattern.FileSpec = "*.*";
  pattern.Recurse = 0xFFFF;
  PackCommandRecord record{};
  record.Version = record.Version2 = KORVEL_ENGINE_VERSION;
  record.Callback = &Quiet;
  record.Quiet = -1;
  record.Level = 9;
  record.Recurse = 0xFFFF;
  record.NotSafe = -1;
  record.StoreSuffixes = kStoreSuffixes;
  record.SpecCount = 1;
  record.Specs = &pattern;
  record.ZipFileName = archive.c_str();
  record.RootDir = root.c_str();
  record.RecordMark = KORVEL_RECORD_RECORD_MARK;
  return engines.pack_exec(&record);
}

std::int32_t Unpack(const Engines& engines, const std::string& archive, const std::string& base) {
  UnpackCommandRecord record{};
  record.Version = engines.unpack_version();
  record.Callback = &Quiet;
  record.Quiet = -1;
  record.DirNames = -1;
  record.Overwrite = -1;
  record.Password = "";
  record.ZipFileName = archive.c_str();
  record.BaseDir = base.c_str();
  record.RecordMark = KORVEL_RECORD_RECORD_MARK;
  return engines.unpack_exec(&record);
}

double Seconds(const std::function<void()>& work) {
  const auto start = std::chrono::steady_clock::now();
  work();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

int Run(const std::string& command) {
  return std::system((command + " >/dev/null 2>&1").c_str());
}

void WriteFile(const fs::path& path, const std::string& data) {
  fs::create_directories(path.parent_path());
  std::ofstream(path, std::ios::binary)
      .write(data.data(), static_cast<std::streamsize>(data.size()));
}

// Text-like class files, incompressible resources and already packed images in nested folders.
void MakeSyntheticTree(const fs::path& root) {
  std::mt19937 random(42);
  const std::string words[] = {"javax/microedition/", "lcdui/Canvas", "getGraphics", "()V", "int"};
  for (int folder = 0; folder < 20; ++folder) {
    const std::string number = std::to_string(folder);
    for (int file = 0; file < 50; ++file) {
      std::string text;
      while (text.size() < 4000 + random() % 8000) text += words[random() % 5];
      std::string class_name = "C";
      class_name.append(std::to_string(file)).append(".class");
      WriteFile(root / std::string("pkg").append(number) / class_name, text);
    }
    std::string noise(100000, '\0');
    for (char& c : noise) c = static_cast<char>(random());
    WriteFile(root / std::string("res").append(number) / "data.bin", noise);
    WriteFile(root / std::string("res").append(number) / "img.png", noise.substr(0, 30000));
  }
}

struct Row {
  std::string tree;
  double our_pack = 0, zip_pack = 0, our_unpack = 0, zip_unpack = 0;
  std::uintmax_t our_size = 0, zip_size = 0;
};

Row Measure(const Engines& engines, const std::string& name, const fs::path& tree,
            const fs::path& scratch) {
  Row row;
  row.tree = name;
  const fs::path ours = scratch / (name + "-ours.zip");
  const fs::path theirs = scratch / (name + "-infozip.zip");
  fs::remove(ours);
  fs::remove(theirs);
  row.our_pack = Seconds([&] { Pack(engines, ours.string(), tree.string()); });
  row.zip_pack = Seconds([&] {
    Run("cd " + Quoted(tree.string()) + " && zip -9 -r -q -n " + std::string(kStoreSuffixes) + " " +
        Quoted(theirs.string()) + " .");
  });
  row.our_size = fs::exists(ours) ? fs::file_size(ours) : 0;
  row.zip_size = fs::exists(theirs) ? fs::file_size(theirs) : 0;
  const fs::path out_ours = scratch / (name + "-out-ours");
  const fs::path out_theirs = scratch / (name + "-out-infozip");
  fs::create_directories(out_ours);
  fs::create_directories(out_theirs);
  row.our_unpack = Seconds([&] { Unpack(engines, ours.string(), out_ours.string()); });
  row.zip_unpack = Seconds(
      [&] { Run("unzip -qq -o " + Quoted(ours.string()) + " -d " + Quoted(out_theirs.string())); });
  return row;
}

}  // namespace

int main() {
  Engines engines;
  if (!engines.Load()) {
    std::fprintf(stderr, "cannot load the engine libraries: %s\n", dlerror());
    return 1;
  }
  std::string pattern = (fs::temp_directory_path() / "korvel-bench-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) return 1;
  const fs::path scratch = pattern;

  std::vector<Row> rows;
  const fs::path corpus = KORVEL_CORPUS_DIR;
  if (fs::is_directory(corpus)) {
    // All sample games unpacked side by side, one folder per game: a patch job's work folder,
    // twenty-two times over.
    const fs::path games = scratch / "games";
    fs::create_directories(games);
    for (const auto& folder : fs::directory_iterator(corpus)) {
      if (!folder.is_directory()) continue;
      for (const auto& file : fs::directory_iterator(folder.path()))
        if (file.path().extension() == ".jar")
          Run("unzip -qq -o " + Quoted(file.path().string()) + " -d " +
              Quoted((games / file.path().stem()).string()));
    }
    rows.push_back(Measure(engines, "sample-games", games, scratch));
  }
  MakeSyntheticTree(scratch / "synthetic");
  rows.push_back(Measure(engines, "synthetic", scratch / "synthetic", scratch));

  std::printf("%-14s %10s %10s %10s %10s %12s %12s\n", "tree", "pack ours", "zip -9 -r", "unpack",
              "unzip", "size ours", "size zip");
  for (const Row& row : rows)
    std::printf("%-14s %9.3fs %9.3fs %9.3fs %9.3fs %12ju %12ju\n", row.tree.c_str(), row.our_pack,
                row.zip_pack, row.our_unpack, row.zip_unpack, row.our_size, row.zip_size);
  std::printf("(Info-ZIP times include starting the process; unzip unpacks our archive.)\n");

  std::error_code ignored;
  fs::remove_all(scratch, ignored);
  return 0;
}

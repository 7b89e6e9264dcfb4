// Build tool: encodes payload files at the highest compression into a store description and
// writes it as a C++ source that defines ProgramStoreDescription().
//   korvel_storegen OUTPUT.cpp FILE...
#include <cstdio>
#include <fstream>
#include <iostream>

#include "platform/Files.h"
#include "store/StoreDescription.h"
#include "store/StoredItems.h"
#include "store/Stream.h"

int main(int argc, char** argv) {
  using namespace korvel;
  if (argc < 2) {
    std::cerr << "usage: korvel_storegen OUTPUT.cpp FILE...\n";
    return 2;
  }
  try {
    TmxStorage store;
    for (int i = 2; i < argc; ++i) {
      const std::string name = platform::FileNamePart(argv[i]);
      store.BeginLoading();
      TmxStoredItem& item = store.StoredItems().Add();
      item.SetCompression(clMax);
      item.SetName(name);
      item.SetFileName(name);
      store.EndLoading();
      FileStream file(argv[i], FileStream::Mode::kRead);
      item.LoadFromStream(&file);
    }
    const std::string description = WriteStoreDescription(store);

    std::ofstream out(argv[1], std::ios::trunc);
    out << "// Made by korvel_storegen from the files in payload/ when the program is built.\n"
           "#include \"payload/ProgramStore.h\"\n\n"
           "namespace korvel {\n\nnamespace {\n\nconstexpr unsigned char kDescription[] = {";
    for (std::size_t i = 0; i < description.size(); ++i) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "0x%02X,", static_cast<unsigned char>(description[i]));
      out << (i % 16 == 0 ? "\n    " : " ") << hex;
    }
    out << "\n};\n\n}  // namespace\n\n"
           "std::string_view ProgramStoreDescription() {\n"
           "  return {reinterpret_cast<const char*>(kDescription), sizeof kDescription};\n"
           "}\n\n}  // namespace korvel\n";
    out.close();
    if (!out) {
      std::cerr << "korvel_storegen: cannot write " << argv[1] << "\n";
      return 1;
    }
  } catch (const std::exception& e) {
    std::cerr << "korvel_storegen: " << e.what() << "\n";
    return 1;
  }
  return 0;
}

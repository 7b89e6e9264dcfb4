// The Nokia compatibility archive: its entry list as Info-ZIP reads it, and its place in the
// program's store.
#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <vector>

#include "payload/ProgramStore.h"
#include "store/Stream.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

const std::vector<std::string> kEntries = {
    "com/",
    "com/nokia/",
    "com/nokia/mid/",
    "com/nokia/mid/sound/",
    "com/nokia/mid/sound/Sound.class",
    "com/nokia/mid/sound/SoundListener.class",
    "com/nokia/mid/ui/",
    "com/nokia/mid/ui/DeviceControl.class",
    "com/nokia/mid/ui/DirectGraphics.class",
    "com/nokia/mid/ui/DirectGraphicsImplemented.class",
    "com/nokia/mid/ui/DirectUtils.class",
    "com/nokia/mid/ui/FullCanvas.class",
};

std::string ArchivePath() {
  return test::SourceFile("payload/Nokia.zip");
}

std::vector<std::vector<std::string>> Rows(const std::string& text) {
  std::vector<std::vector<std::string>> rows;
  std::istringstream lines(text);
  for (std::string line; std::getline(lines, line);) {
    std::istringstream words(line);
    std::vector<std::string> row;
    for (std::string word; words >> word;) row.push_back(word);
    rows.push_back(row);
  }
  return rows;
}

TEST(NokiaArchive, ListsItsEntriesInOrder) {
  std::string out;
  ASSERT_EQ(test::RunCommand("unzip -tq '" + ArchivePath() + "'", out), 0) << out;
  ASSERT_EQ(test::RunCommand("zipinfo -1 '" + ArchivePath() + "'", out), 0) << out;
  std::vector<std::string> names;
  for (const auto& row : Rows(out)) names.push_back(row.empty() ? "" : row.front());
  EXPECT_EQ(names, kEntries);
}

// Directories are bare entries; every class is deflated, not stored.
TEST(NokiaArchive, DirectoriesAreEmptyAndClassesDeflated) {
  std::string out;
  ASSERT_EQ(test::RunCommand("zipinfo -l '" + ArchivePath() + "'", out), 0) << out;
  int checked = 0;
  for (const auto& row : Rows(out)) {
    // permissions version os size type compressed method date time name
    if (row.size() != 10 || row[0].size() != 10) continue;
    const std::string& name = row[9];
    SCOPED_TRACE(name);
    ++checked;
    if (name.ends_with("/")) {
      EXPECT_EQ(row[0][0], 'd');
      EXPECT_EQ(row[3], "0");
      EXPECT_EQ(row[6], "stor");
    } else {
      EXPECT_EQ(row[0][0], '-');
      EXPECT_TRUE(row[6].starts_with("def")) << row[6];
      EXPECT_LT(std::stoi(row[5]), std::stoi(row[3]));
    }
  }
  EXPECT_EQ(checked, 12);
}

std::string Decode(TmxStoredItem& item) {
  MemoryStream out;
  item.SaveToStream(&out);
  return out.Bytes();
}

TEST(NokiaArchive, TheProgramStoreCarriesItSecond) {
  TmxStorage store;
  LoadProgramStore(store);
  ASSERT_EQ(store.StoredItems().Count(), 6);  // the key classes last
  EXPECT_EQ(store.ItemByIndex(0), store.ItemByName("FullCn.class"));
  EXPECT_EQ(store.ItemByIndex(2), store.ItemByName("FullGameCn.class"));
  TmxStoredItem* item = store.ItemByName("nokia.ZIP");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(store.ItemByIndex(1), item);
  EXPECT_EQ(item->Name(), "Nokia.zip");
  EXPECT_EQ(item->FileName(), "Nokia.zip");
  EXPECT_EQ(item->Compression(), clMax);
  EXPECT_EQ(item->Tag(), 0);
  EXPECT_EQ(item->Data().Bytes().substr(0, 2), "\x78\xDA");
  const std::string archive = test::ReadFile(ArchivePath());
  EXPECT_EQ(item->FileSize(), static_cast<std::int32_t>(archive.size()));
  EXPECT_EQ(Decode(*item), archive);
}

}  // namespace
}  // namespace korvel

// The stored item store: encodings, names, ratios, hooks and the persistent data property.
#include "store/StoredItems.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#include "platform/FileError.h"
#include "support/TempDir.h"
#include "support/TestData.h"

namespace korvel {
namespace {

using test::ErrorText;
using test::RandomBytes;
using test::ReadFile;
using test::TempDir;

std::string Decode(TmxStoredItem& item) {
  MemoryStream out;
  item.SaveToStream(&out);
  return out.Bytes();
}

void Encode(TmxStoredItem& item, const std::string& content) {
  MemoryStream in(content);
  item.LoadFromStream(&in);
}

// Replaces an item's data by raw bytes, as the persistent property would.
void SetData(TmxStoredItem& item, const std::string& data) {
  std::string property(4, '\0');
  for (int i = 0; i < 4; ++i) property[i] = static_cast<char>((data.size() >> (8 * i)) & 0xFF);
  MemoryStream stream(property + data);
  item.ReadData(stream);
}

TEST(StoredItem, EveryLevelRoundTripsAndFramesTheLength) {
  const std::string content = RandomBytes(40000) + std::string(60000, 'x');
  const struct {
    TCompressionLevel level;
    const char* header;
  } levels[] = {{clFastest, "\x78\x01"}, {clDefault, "\x78\x9C"}, {clMax, "\x78\xDA"}};
  for (const auto& [level, header] : levels) {
    TmxStorage store;
    TmxStoredItem& item = store.StoredItems().Add();
    item.SetCompression(level);
    Encode(item, content);
    EXPECT_EQ(item.FileSize(), 100000);
    EXPECT_EQ(item.Data().Bytes().substr(0, 2), header);
    EXPECT_LT(item.Size(), 100000);
    EXPECT_EQ(Decode(item), content) << static_cast<int>(level);
  }
  TmxStorage store;
  TmxStoredItem& plain = store.StoredItems().Add();
  plain.SetCompression(clNone);
  Encode(plain, content);
  EXPECT_EQ(plain.Data().Bytes(), content);
  EXPECT_EQ(plain.FileSize(), 0);  // only compressing encodings measure the file
  EXPECT_EQ(Decode(plain), content);
}

TEST(StoredItem, DamagedAndTruncatedDataRaiseAndKeepWhatWasWritten) {
  TempDir dir;
  TmxStorage store;
  TmxStoredItem& item = store.StoredItems().Add();
  const std::string content = RandomBytes(100000);
  Encode(item, content);
  const std::string good = item.Data().Bytes();

  std::string damaged = good;
  damaged[0] = '\x00';  // no zlib header
  SetData(item, damaged);
  EXPECT_EQ(ErrorText([&] { item.SaveToFile(dir / "damaged.bin"); }), "Error");
  EXPECT_TRUE(std::filesystem::exists(dir / "damaged.bin"));

  SetData(item, good.substr(0, good.size() * 6 / 10));
  EXPECT_EQ(ErrorText([&] { item.SaveToFile(dir / "short.bin"); }), "Stream read error");
  const std::string partial = ReadFile(dir / "short.bin");
  EXPECT_GT(partial.size(), 0u);
  EXPECT_LT(partial.size(), content.size());
  EXPECT_EQ(content.substr(0, partial.size()), partial);
}

TEST(StoredItem, EmptyContentsSaveEmptyFiles) {
  TempDir dir;
  TmxStorage store;
  TmxStoredItem& item = store.StoredItems().Add();
  Encode(item, "");  // nothing to encode: data stays empty
  EXPECT_EQ(item.Size(), 0);
  item.SaveToFile(dir / "empty1");
  EXPECT_EQ(std::filesystem::file_size(dir / "empty1"), 0u);

  TmxStoredItem& framed = store.StoredItems().Add();
  Encode(framed, "x");
  // A stream that declares no content at all.
  std::string header("\x78\x9C\x63\x60\x60\x60\x00\x00\x00\x04\x00\x01", 12);
  SetData(framed, header);
  framed.SaveToFile(dir / "empty2");
  EXPECT_EQ(std::filesystem::file_size(dir / "empty2"), 0u);
}

TEST(StoredItem, EncodingNothingKeepsTheFileSize) {
  TmxStorage store;
  TmxStoredItem& item = store.StoredItems().Add();
  Encode(item, "content");
  EXPECT_EQ(item.FileSize(), 7);
  int hooks = 0;
  item.OnBeforeLoad = [&](TmxStoredItem&, Stream&) { ++hooks; };
  Encode(item, "");
  EXPECT_EQ(item.Size(), 0);
  EXPECT_EQ(item.FileSize(), 7);
  EXPECT_EQ(hooks, 0);
  item.LoadFromStream(nullptr);
  item.SaveToStream(nullptr);  // nothing to write to: nothing happens
}

TEST(StoredItem, ChangingTheLevelAfterLoadingReencodes) {
  TmxStorage store;
  TmxStoredItem& item = store.StoredItems().Add();
  item.SetCompression(clMax);
  const std::string content = "public class Game extends Canvas {}";
  Encode(item, content);
  int saves = 0, loads = 0;
  item.OnAfterSave = [&](TmxStoredItem&) { ++saves; };
  item.OnAfterLoad = [&](TmxStoredItem&) { ++loads; };

  item.SetCompression(clMax);  // unchanged: nothing happens
  EXPECT_EQ(saves + loads, 0);
  item.SetCompression(clNone);
  EXPECT_EQ(item.Data().Bytes(), content);
  EXPECT_EQ(item.FileSize(), static_cast<int>(content.size()));
  EXPECT_EQ(saves, 1);
  EXPECT_EQ(loads, 1);
  item.SetCompression(clMax);
  EXPECT_EQ(item.Data().Bytes().substr(0, 2), "\x78\xDA");
  EXPECT_EQ(Decode(item), content);

  store.BeginLoading();  // while loading the level is only recorded
  item.SetCompression(clNone);
  EXPECT_EQ(item.Data().Bytes().substr(0, 2), "\x78\xDA");
  store.EndLoading();
}

TEST(StoredItem, FileNameAndFileSizeAreSetOnlyWhileLoading) {
  TmxStorage store;
  TmxStoredItem& item = store.StoredItems().Add();
  item.SetFileName("a.class");
  item.SetFileSize(12);
  EXPECT_EQ(item.FileName(), "");
  EXPECT_EQ(item.FileSize(), 0);
  store.BeginLoading();
  item.SetFileName("a.class");
  item.SetFileSize(12);
  store.EndLoading();
  EXPECT_EQ(item.FileName(), "a.class");
  EXPECT_EQ(item.FileSize(), 12);
}

TEST(StoredItems, DefaultNamesTakeTheLowestFreeNumber) {
  TmxStorage store;
  TmxStoredItems& items = store.StoredItems();
  EXPECT_EQ(items.Add().Name(), "mxStoredItem1");
  EXPECT_EQ(items.Add().Name(), "mxStoredItem2");
  EXPECT_EQ(items.Add().Name(), "mxStoredItem3");
  items.Items(0).SetName("FullCn.class");
  EXPECT_EQ(items.Add().Name(), "mxStoredItem1");
  items.Items(1).SetName("MXSTOREDITEM5");
  EXPECT_EQ(items.Add().Name(), "mxStoredItem2");
}

TEST(StoredItems, NamesAreUniqueWithoutRegardToCase) {
  TmxStorage store;
  TmxStoredItem& a = store.StoredItems().Add();
  TmxStoredItem& b = store.StoredItems().Add();
  a.SetName("Nokia.zip");
  EXPECT_EQ(ErrorText([&] { b.SetName("NOKIA.ZIP"); }), "Duplicated stored item name");
  EXPECT_EQ(b.Name(), "mxStoredItem2");
  a.SetName("nokia.zip");  // only the case differs: not applied
  EXPECT_EQ(a.Name(), "Nokia.zip");

  EXPECT_EQ(store.ItemByName("nokia.ZIP"), &a);
  EXPECT_EQ(store.ItemByName("Nokia"), nullptr);
  EXPECT_EQ(store.ItemByIndex(1), &b);
  EXPECT_EQ(store.ItemByIndex(2), nullptr);
  EXPECT_EQ(ErrorText([&] { store.ItemByIndex(-1); }), "List index out of bounds (-1)");
}

TEST(StoredItems, DestroyedItemsLeaveTheCollectionFirst) {
  auto store = std::make_unique<TmxStorage>();
  int count_seen = -1;
  TmxStoredItem& item = store->StoredItems().Add();
  store->StoredItems().Add();
  item.OnDestroy = [&](TmxStoredItem& gone) { count_seen = gone.Collection().Count(); };
  store->StoredItems().Delete(0);
  EXPECT_EQ(count_seen, 1);
  int destroyed = 0;
  store->StoredItems().Items(0).OnDestroy = [&](TmxStoredItem&) { ++destroyed; };
  store.reset();
  EXPECT_EQ(destroyed, 1);
}

TEST(Ratio, FixedNotationWithTheUsersSeparator) {
  EXPECT_EQ(FormatRatio(292, 389, ","), "75,06%");
  EXPECT_EQ(FormatRatio(4612, 5674, ","), "81,28%");
  EXPECT_EQ(FormatRatio(4904, 6063, "."), "80.88%");
  EXPECT_EQ(FormatRatio(10, 0, ","), "100%");
  EXPECT_EQ(FormatRatio(0, 5, ","), "0,00%");

  TmxStorage store;
  EXPECT_EQ(store.Size(), 0);
  EXPECT_EQ(store.OriginalSize(), 0);
  EXPECT_EQ(store.Ratio(), "100%");
  EXPECT_EQ(store.Version(), "1.1");
  EXPECT_EQ(store.StoredItems().Add().Ratio(), "100%");
}

TEST(StoredItemProperty, ReaderAndWriterUseTheLengthPrefix) {
  TmxStorage store;
  TmxStoredItem& item = store.StoredItems().Add();
  MemoryStream in(
      std::string("\x03\x00\x00\x00"
                  "abcTAIL",
                  11));
  item.ReadData(in);
  EXPECT_EQ(item.Data().Bytes(), "abc");
  EXPECT_EQ(in.Position(), 7u);

  MemoryStream out;
  item.WriteData(out);
  EXPECT_EQ(out.Bytes(), std::string("\x03\x00\x00\x00"
                                     "abc",
                                     7));

  MemoryStream short_stream(
      std::string("\x09\x00\x00\x00"
                  "abc",
                  7));
  EXPECT_EQ(ErrorText([&] { item.ReadData(short_stream); }), "Stream read error");
  MemoryStream no_length(std::string("\x01\x00", 2));
  EXPECT_EQ(ErrorText([&] { item.ReadData(no_length); }), "Stream read error");
}

TEST(SaveToFile, ReplacesLongerFilesAndNamesFilesItCannotCreate) {
  TempDir dir;
  TmxStorage store;
  TmxStoredItem& item = store.StoredItems().Add();
  item.SetName("FullCn.class");
  Encode(item, std::string(389, 'c'));
  const std::string target = dir.Write("FullCn.class", std::string(5000, 'o'));
  SaveStoredItem(store, "fullcn.class", target);
  EXPECT_EQ(ReadFile(target), std::string(389, 'c'));

  const std::string missing = dir / "no/such/FullCn.class";
  EXPECT_EQ(ErrorText([&] { item.SaveToFile(missing); }),
            "Cannot create file \"" + missing + "\". No such file or directory");
  EXPECT_EQ(ErrorText([&] { SaveStoredItem(store, "Nokia.zip", dir / "Nokia.zip"); }),
            "The program's store holds no item \"Nokia.zip\"");
  EXPECT_FALSE(std::filesystem::exists(dir / "Nokia.zip"));
}

}  // namespace
}  // namespace korvel

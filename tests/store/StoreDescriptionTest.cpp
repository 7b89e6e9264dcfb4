// The store's persistent description and the program's own store built from payload/.
#include "store/StoreDescription.h"

#include <gtest/gtest.h>

#include "payload/ProgramStore.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

std::string Decode(TmxStoredItem& item) {
  MemoryStream out;
  item.SaveToStream(&out);
  return out.Bytes();
}

TEST(StoreDescription, RoundTripsItemsInOrder) {
  TmxStorage original;
  TmxStoredItem& a = original.StoredItems().Add();
  a.SetName("FullCn.class");
  a.SetCompression(clMax);
  MemoryStream class_bytes(std::string(389, 'k'));
  a.LoadFromStream(&class_bytes);
  a.SetTag(-5);
  TmxStoredItem& b = original.StoredItems().Add();
  b.SetCompression(clNone);
  MemoryStream raw("raw bytes");
  b.LoadFromStream(&raw);
  original.StoredItems().Add();  // empty, default name

  const std::string description = WriteStoreDescription(original);
  TmxStorage copy;
  ReadStoreDescription(copy, description);
  ASSERT_EQ(copy.StoredItems().Count(), 3);
  TmxStoredItem& a2 = copy.StoredItems().Items(0);
  EXPECT_EQ(a2.Name(), "FullCn.class");
  EXPECT_EQ(a2.Compression(), clMax);
  EXPECT_EQ(a2.Tag(), -5);
  EXPECT_EQ(a2.FileSize(), 389);
  EXPECT_EQ(a2.Data().Bytes(), a.Data().Bytes());
  EXPECT_EQ(copy.StoredItems().Items(1).Name(), "mxStoredItem1");
  EXPECT_EQ(copy.StoredItems().Items(1).Data().Bytes(), "raw bytes");
  EXPECT_EQ(copy.StoredItems().Items(2).Size(), 0);
  EXPECT_FALSE(copy.Loading());
  EXPECT_EQ(WriteStoreDescription(copy), description);
}

TEST(StoreDescription, LeavesOutDefaultsAndEmptyData) {
  TmxStorage store;
  store.StoredItems().Add();
  const std::string description = WriteStoreDescription(store);
  EXPECT_EQ(description.find("Compression"), std::string::npos);
  EXPECT_EQ(description.find("StoredItem\x0A"), std::string::npos);
  EXPECT_EQ(description.find("FileName"), std::string::npos);
  EXPECT_NE(description.find("mxStoredItem1"), std::string::npos);
}

TEST(StoreDescription, DamagedDescriptionsAreRefused) {
  TmxStorage store;
  store.StoredItems().Add().SetName("x");
  const std::string good = WriteStoreDescription(store);
  for (const std::string& bad :
       {std::string("nope"), good.substr(0, good.size() - 3), good + "junk"}) {
    TmxStorage target;
    EXPECT_THROW(ReadStoreDescription(target, bad), StoreError);
    EXPECT_FALSE(target.Loading());
  }
}

TEST(ProgramStore, CarriesTheFullScreenClass) {
  TmxStorage store;
  LoadProgramStore(store);
  TmxStoredItem* item = store.ItemByName("FullCn.class");
  ASSERT_NE(item, nullptr);
  EXPECT_EQ(store.ItemByIndex(0), item);
  EXPECT_EQ(item->FileName(), "FullCn.class");
  EXPECT_EQ(item->Compression(), clMax);
  EXPECT_EQ(item->Tag(), 0);
  EXPECT_EQ(item->FileSize(), 389);
  EXPECT_EQ(item->Size(), 292);
  EXPECT_EQ(item->Data().Bytes().substr(0, 2), "\x78\xDA");
  const std::string decoded = Decode(*item);
  EXPECT_EQ(decoded, test::ReadFile(test::SourceFile("payload/FullCn.class")));

  // Encoding the decoded class again gives the same bytes back.
  TmxStorage again;
  TmxStoredItem& copy = again.StoredItems().Add();
  copy.SetCompression(clMax);
  MemoryStream in(decoded);
  copy.LoadFromStream(&in);
  EXPECT_EQ(Decode(copy), decoded);
}

}  // namespace
}  // namespace korvel

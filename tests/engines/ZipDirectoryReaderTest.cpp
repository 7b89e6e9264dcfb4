// The engines' directory reader on archives whose records lie, read from memory and from a file.
#include <fcntl.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engines/common/EngineCommon.h"
#include "engines/common/ZipDirectory.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

namespace korvel::engine {
namespace {

using test::MakeZip;
using test::RawEntry;

constexpr std::uint64_t kNoLimit = 1 << 20;

// Overwrites a 16-bit field `at` bytes into the end record, which `comment_size` bytes follow.
std::string WithEndField(std::string zip, std::size_t at, std::uint16_t value,
                         std::size_t comment_size = 0) {
  std::string field;
  zip::Put16(field, value);
  zip.replace(zip.size() - comment_size - zip::kEndRecordSize + at, 2, field);
  return zip;
}

// The directory of two stored entries, "a.txt" and "dir/b.bin".
std::string TwoEntries(const std::string& comment = "") {
  return MakeZip({{"a.txt", "hello"}, {"dir/b.bin", std::string(300, 'x')}}, comment);
}

struct Outcome {
  bool end_found = false;
  std::optional<std::uint64_t> prefix;
  bool on_one_disk = false;
  bool directory_read = false;
  std::vector<std::string> names;
  bool damaged = false;
};

Outcome ReadAll(const ArchiveBytes& archive, std::uint64_t max_size) {
  Outcome outcome;
  const std::optional<EndRecord> end = FindEndRecord(archive);
  if (!end) return outcome;
  outcome.end_found = true;
  outcome.prefix = end->UncountedPrefix();
  outcome.on_one_disk = end->OnOneDisk();
  const std::optional<std::string> directory = ReadCentralDirectory(archive, *end, max_size);
  if (!directory) return outcome;
  outcome.directory_read = true;
  CentralHeaders headers(*directory, end->entries);
  while (const auto header = headers.Next()) outcome.names.emplace_back(header->name);
  outcome.damaged = headers.Damaged();
  return outcome;
}

TEST(ZipDirectoryReader, FindsWhatTheRecordsHoldAndStopsWhereTheyLie) {
  const std::string two = TwoEntries();
  // The second central header's name length, raised past the directory's end.
  std::string long_name = two;
  const std::size_t second = long_name.find("PK\1\2", long_name.find("PK\1\2") + 4);
  long_name[second + zip::kCentralNameLength] = '\xFF';
  long_name[second + zip::kCentralNameLength + 1] = '\xFF';
  const std::string signature_in_comment = std::string("note PK\5\6") + "1234567";
  struct Case {
    const char* what;
    std::string bytes;
    std::uint64_t max_size;
    Outcome expected;
  };
  const std::vector<std::string> both = {"a.txt", "dir/b.bin"};
  const Case cases[] = {
      {"plain", two, kNoLimit, {true, std::nullopt, true, true, both, false}},
      {"an end signature late in the comment",
       TwoEntries(signature_in_comment),
       kNoLimit,
       {true, std::nullopt, true, true, both, false}},
      {"data in front", std::string(400, 'S') + two, kNoLimit, {true, 400, true, true, {}, true}},
      {"more entries counted than there are",
       WithEndField(two, zip::kEndTotalEntries, 3),
       kNoLimit,
       {true, std::nullopt, true, true, both, true}},
      {"a name running past the directory",
       long_name,
       kNoLimit,
       {true, std::nullopt, true, true, {"a.txt"}, true}},
      {"a directory past the end",
       WithEndField(two, zip::kEndDirectoryOffset + 2, 0x7FFF),
       kNoLimit,
       {true, std::nullopt, true, false, {}, false}},
      {"a directory above the limit", two, 10, {true, std::nullopt, true, false, {}, false}},
      {"a second disk",
       WithEndField(two, zip::kEndThisDisk, 1),
       kNoLimit,
       {true, std::nullopt, false, true, both, false}},
      {"a bare end record", MakeZip({}), kNoLimit, {true, std::nullopt, true, true, {}, false}},
      {"no end record", std::string(5000, 'P'), kNoLimit, {}},
      {"a record cut short", two.substr(0, two.size() - 1), kNoLimit, {}},
      {"nothing", "", kNoLimit, {}},
  };
  test::TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    const UniqueFd fd(::open(dir.Write("case.zip", c.bytes).c_str(), O_RDONLY | O_CLOEXEC));
    ASSERT_TRUE(fd.Valid());
    for (const Outcome& got : {ReadAll(MemoryBytes(c.bytes), c.max_size),
                               ReadAll(FileBytes(fd.Get(), c.bytes.size()), c.max_size)}) {
      EXPECT_EQ(got.end_found, c.expected.end_found);
      EXPECT_EQ(got.prefix, c.expected.prefix);
      EXPECT_EQ(got.on_one_disk, c.expected.on_one_disk);
      EXPECT_EQ(got.directory_read, c.expected.directory_read);
      EXPECT_EQ(got.names, c.expected.names);
      EXPECT_EQ(got.damaged, c.expected.damaged);
    }
  }
}

TEST(ZipDirectoryReader, AHeaderGivesItsOwnFields) {
  RawEntry deflated{"game.class", "packed bytes"};
  deflated.method = 8;
  deflated.size = 1234;
  deflated.crc = 0xCAFEBABE;
  deflated.flags = 1;
  const std::string bytes = MakeZip({{"first", "abc"}, deflated});
  const MemoryBytes archive(bytes);
  const std::optional<EndRecord> end = FindEndRecord(archive);
  ASSERT_TRUE(end);
  const std::optional<std::string> directory = ReadCentralDirectory(archive, *end, kNoLimit);
  ASSERT_TRUE(directory);
  CentralHeaders headers(*directory, end->entries);
  ASSERT_TRUE(headers.Next());
  const std::optional<CentralEntry> entry = headers.Next();
  ASSERT_TRUE(entry);
  EXPECT_EQ(entry->name, "game.class");
  EXPECT_EQ(entry->method, 8);
  EXPECT_EQ(entry->flags, 1);
  EXPECT_EQ(entry->crc, 0xCAFEBABE);
  EXPECT_EQ(entry->size, 1234u);
  EXPECT_EQ(entry->compressed_size, deflated.data.size());
  EXPECT_EQ(entry->local_offset, zip::kLocalHeaderSize + 5 + 3);
  EXPECT_FALSE(headers.Next());
  EXPECT_FALSE(headers.Damaged());
}

}  // namespace
}  // namespace korvel::engine

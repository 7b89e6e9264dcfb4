// Writing and reading the persistent description of a store.
#include "store/StoreDescription.h"

#include <cstdint>

namespace korvel {

namespace {

constexpr std::string_view kSignature = "KSTD\x01";

enum ValueKind : char {
  kInt = 0x02,
  kText = 0x06,
  kIdent = 0x07,
  kBinary = 0x0A,
  kCollection = 0x0E,
};

constexpr std::string_view kLevelNames[] = {"clNone", "clFastest", "clDefault", "clMax"};

class Writer {
 public:
  void Name(std::string_view name) {
    out_ += static_cast<char>(name.size());
    out_ += name;
  }
  void End() { out_ += '\0'; }
  void Int(std::string_view name, std::int32_t value) {
    Name(name);
    out_ += kInt;
    UInt32(static_cast<std::uint32_t>(value));
  }
  void Text(std::string_view name, std::string_view value) { Bytes(name, kText, value); }
  void Binary(std::string_view name, std::string_view value) { Bytes(name, kBinary, value); }
  void Ident(std::string_view name, std::string_view value) {
    Name(name);
    out_ += kIdent;
    out_ += static_cast<char>(value.size());
    out_ += value;
  }
  void Collection(std::string_view name, std::uint32_t count) {
    Name(name);
    out_ += kCollection;
    UInt32(count);
  }
  void Raw(std::string_view bytes) { out_ += bytes; }
  std::string Take() { return std::move(out_); }

 private:
  void UInt32(std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out_ += static_cast<char>((value >> (8 * i)) & 0xFF);
  }
  void Bytes(std::string_view name, ValueKind kind, std::string_view value) {
    Name(name);
    out_ += kind;
    UInt32(static_cast<std::uint32_t>(value.size()));
    out_ += value;
  }
  std::string out_;
};

class Reader {
 public:
  explicit Reader(std::string_view in) : in_(in) {}

  std::string_view Take(std::size_t count) {
    if (count > in_.size()) throw StoreError("Damaged store description");
    const std::string_view part = in_.substr(0, count);
    in_.remove_prefix(count);
    return part;
  }
  std::uint8_t Byte() { return static_cast<std::uint8_t>(Take(1)[0]); }
  std::uint32_t UInt32() {
    const std::string_view b = Take(4);
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(b[i]);
    return value;
  }
  // The next property's name; empty at an end mark.
  std::string_view Name() { return Take(Byte()); }
  void Expect(ValueKind kind) {
    if (Byte() != static_cast<std::uint8_t>(kind)) throw StoreError("Damaged store description");
  }
  std::int32_t Int() {
    Expect(kInt);
    return static_cast<std::int32_t>(UInt32());
  }
  std::string_view Text() {
    Expect(kText);
    return Take(UInt32());
  }
  std::string_view Binary() {
    Expect(kBinary);
    return Take(UInt32());
  }
  std::string_view Ident() {
    Expect(kIdent);
    return Take(Byte());
  }
  std::uint32_t Collection() {
    Expect(kCollection);
    return UInt32();
  }
  bool AtEnd() const { return in_.empty(); }

 private:
  std::string_view in_;
};

TCompressionLevel LevelByName(std::string_view name) {
  for (std::size_t i = 0; i < std::size(kLevelNames); ++i) {
    if (kLevelNames[i] == name) return static_cast<TCompressionLevel>(i);
  }
  throw StoreError("Damaged store description: unknown compression " + std::string(name));
}

void ReadItem(Reader& in, TmxStoredItem& item) {
  for (std::string_view name = in.Name(); !name.empty(); name = in.Name()) {
    if (name == "Compression") {
      item.SetCompression(LevelByName(in.Ident()));
    } else if (name == "Tag") {
      item.SetTag(in.Int());
    } else if (name == "Name") {
      item.SetName(std::string(in.Text()));
    } else if (name == "FileName") {
      item.SetFileName(std::string(in.Text()));
    } else if (name == "FileSize") {
      item.SetFileSize(in.Int());
    } else if (name == "Size") {
      in.Int();  // derived from the data
    } else if (name == "Ratio") {
      in.Text();  // derived from the sizes
    } else if (name == "StoredItem") {
      MemoryStream data{std::string(in.Binary())};
      item.ReadData(data);
    } else {
      throw StoreError("Damaged store description: unknown property " + std::string(name));
    }
  }
}

}  // namespace

std::string WriteStoreDescription(const TmxStorage& store) {
  Writer out;
  out.Raw(kSignature);
  out.Int("OriginalSize", store.OriginalSize());
  out.Text("Ratio", store.Ratio());
  out.Int("Size", store.Size());
  const TmxStoredItems& items = store.StoredItems();
  out.Collection("StoredItems", static_cast<std::uint32_t>(items.Count()));
  for (int i = 0; i < items.Count(); ++i) {
    TmxStoredItem& item = items.Items(i);
    if (item.Compression() != clDefault) {
      out.Ident("Compression", kLevelNames[item.Compression()]);
    }
    out.Int("Tag", item.Tag());
    if (!item.Name().empty()) out.Text("Name", item.Name());
    if (!item.FileName().empty()) out.Text("FileName", item.FileName());
    out.Int("FileSize", item.FileSize());
    out.Int("Size", item.Size());
    out.Text("Ratio", item.Ratio());
    if (item.Size() > 0) {
      MemoryStream data;
      item.WriteData(data);
      out.Binary("StoredItem", data.Bytes());
    }
    out.End();
  }
  out.Text("Version", store.Version());
  out.End();
  return out.Take();
}

void ReadStoreDescription(TmxStorage& store, std::string_view description) {
  Reader in(description);
  if (in.Take(kSignature.size()) != kSignature) {
    throw StoreError("Damaged store description: bad signature");
  }
  store.BeginLoading();
  try {
    for (std::string_view name = in.Name(); !name.empty(); name = in.Name()) {
      if (name == "OriginalSize" || name == "Size") {
        in.Int();
      } else if (name == "Ratio" || name == "Version") {
        in.Text();
      } else if (name == "StoredItems") {
        for (std::uint32_t count = in.Collection(); count > 0; --count) {
          ReadItem(in, store.StoredItems().Add());
        }
      } else {
        throw StoreError("Damaged store description: unknown property " + std::string(name));
      }
    }
    if (!in.AtEnd()) throw StoreError("Damaged store description: data after the end");
  } catch (...) {
    store.EndLoading();
    throw;
  }
  store.EndLoading();
}

}  // namespace korvel

// The embedded file store: items, naming rules and the zlib encoding.
#include "store/StoredItems.h"

#include <zlib.h>

#include <array>
#include <charconv>
#include <limits>

#include "platform/AsciiText.h"
#include "platform/Files.h"
#include "platform/Locale.h"

namespace korvel {

namespace {

constexpr std::size_t kChunk = 16384;

int ZlibLevel(TCompressionLevel level) {
  switch (level) {
    case clFastest:
      return Z_BEST_SPEED;
    case clMax:
      return Z_BEST_COMPRESSION;
    default:
      return Z_DEFAULT_COMPRESSION;
  }
}

std::array<char, 4> LittleEndian(std::uint32_t value) {
  return {static_cast<char>(value & 0xFF), static_cast<char>((value >> 8) & 0xFF),
          static_cast<char>((value >> 16) & 0xFF), static_cast<char>((value >> 24) & 0xFF)};
}

std::int32_t FromLittleEndian(const char* bytes) {
  std::uint32_t value = 0;
  for (int i = 3; i >= 0; --i) value = (value << 8) | static_cast<unsigned char>(bytes[i]);
  return static_cast<std::int32_t>(value);
}

// Reads decompressed bytes out of a zlib stream over an in-memory source.
class Inflater {
 public:
  explicit Inflater(const std::string& source) {
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(source.data()));
    stream_.avail_in = static_cast<uInt>(source.size());
    if (inflateInit(&stream_) != Z_OK) throw StoreError("Error");
  }
  ~Inflater() { inflateEnd(&stream_); }
  Inflater(const Inflater&) = delete;
  Inflater& operator=(const Inflater&) = delete;

  // Fills `buffer` with exactly `count` bytes: "Error" for damaged data, "Stream read error"
  // when the stream ends first.
  void ReadExactly(char* buffer, std::size_t count) {
    stream_.next_out = reinterpret_cast<Bytef*>(buffer);
    stream_.avail_out = static_cast<uInt>(count);
    while (stream_.avail_out > 0) {
      if (ended_ || stream_.avail_in == 0) throw StoreError("Stream read error");
      const int result = inflate(&stream_, Z_NO_FLUSH);
      if (result == Z_STREAM_END) {
        ended_ = true;
      } else if (result != Z_OK) {
        throw StoreError("Error");
      }
    }
  }

 private:
  z_stream stream_{};
  bool ended_ = false;
};

// Compresses into a memory stream.
class Deflater {
 public:
  Deflater(MemoryStream& target, int level) : target_(target) {
    if (deflateInit(&stream_, level) != Z_OK) throw StoreError("Error");
  }
  ~Deflater() { deflateEnd(&stream_); }
  Deflater(const Deflater&) = delete;
  Deflater& operator=(const Deflater&) = delete;

  void Write(const char* data, std::size_t count) { Run(data, count, Z_NO_FLUSH); }
  void Finish() { Run(nullptr, 0, Z_FINISH); }

 private:
  void Run(const char* data, std::size_t count, int flush) {
    stream_.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(data));
    stream_.avail_in = static_cast<uInt>(count);
    std::array<char, kChunk> out;
    int result = Z_OK;
    do {
      stream_.next_out = reinterpret_cast<Bytef*>(out.data());
      stream_.avail_out = static_cast<uInt>(out.size());
      result = deflate(&stream_, flush);
      if (result == Z_STREAM_ERROR) throw StoreError("Error");
      target_.Write(std::string_view(out.data(), out.size() - stream_.avail_out));
    } while (stream_.avail_out == 0 || (flush == Z_FINISH && result != Z_STREAM_END));
  }

  MemoryStream& target_;
  z_stream stream_{};
};

}  // namespace

// ---- TmxStoredItem

TmxStoredItem::~TmxStoredItem() {
  if (OnDestroy) OnDestroy(*this);
}

bool TmxStoredItem::Loading() const {
  return collection_.Owner().Loading();
}

void TmxStoredItem::SetName(const std::string& name) {
  if (EqualsIgnoringAsciiCase(name, name_)) return;
  for (int i = 0; i < collection_.Count(); ++i) {
    const TmxStoredItem& other = collection_.Items(i);
    if (&other != this && EqualsIgnoringAsciiCase(other.Name(), name)) {
      throw StoreError("Duplicated stored item name");
    }
  }
  name_ = name;
}

void TmxStoredItem::SetFileName(const std::string& file_name) {
  if (Loading()) file_name_ = file_name;
}

void TmxStoredItem::SetFileSize(std::int32_t file_size) {
  if (Loading()) file_size_ = file_size;
}

void TmxStoredItem::SetCompression(TCompressionLevel compression) {
  if (compression == compression_) return;
  if (Loading()) {
    compression_ = compression;
    return;
  }
  MemoryStream content;
  SaveToStream(&content);
  compression_ = compression;
  LoadFromStream(&content);
}

std::string TmxStoredItem::Ratio() const {
  return FormatRatio(Size(), file_size_, platform::DecimalSeparator());
}

void TmxStoredItem::SaveToFile(const std::string& file_name) {
  // The full path, so that an error names the file wherever the current folder is.
  const std::string path = !file_name.empty() && file_name.front() == platform::kPathSeparator
                               ? file_name
                               : platform::JoinPath(platform::CurrentDirectory(), file_name);
  FileStream file(path, FileStream::Mode::kCreate);
  SaveToStream(&file);
  file.Close();
}

void TmxStoredItem::SaveToStream(Stream* target) {
  if (target == nullptr) return;
  data_.SetPosition(0);
  if (OnBeforeSave) OnBeforeSave(*this, *target);
  if (compression_ != clNone && data_.Size() > 0) {
    // Decoded in chunks straight into the target; the whole content never sits in memory.
    Inflater inflater(data_.Bytes());
    std::array<char, kChunk> buffer;
    inflater.ReadExactly(buffer.data(), 4);
    const std::int32_t length = FromLittleEndian(buffer.data());
    if (length < 0) throw StoreError("Stream read error");
    for (std::size_t left = static_cast<std::size_t>(length); left > 0;) {
      const std::size_t n = std::min(left, buffer.size());
      inflater.ReadExactly(buffer.data(), n);
      target->Write(std::string_view(buffer.data(), n));
      left -= n;
    }
  } else {
    target->Write(data_.Bytes());
  }
  if (OnAfterSave) OnAfterSave(*this);
}

void TmxStoredItem::LoadFromStream(Stream* source) {
  data_.Clear();
  if (source == nullptr || source->Size() == 0) return;
  source->SetPosition(0);
  if (OnBeforeLoad) OnBeforeLoad(*this, *source);
  source->SetPosition(0);
  std::array<char, kChunk> buffer;
  if (compression_ != clNone) {
    const std::uint64_t length = source->Size();
    if (length > static_cast<std::uint64_t>(std::numeric_limits<std::int32_t>::max())) {
      throw StoreError("File too large to store");
    }
    Deflater deflater(data_, ZlibLevel(compression_));
    deflater.Write(LittleEndian(static_cast<std::uint32_t>(length)).data(), 4);
    while (const std::size_t n = source->Read(buffer.data(), buffer.size())) {
      deflater.Write(buffer.data(), n);
    }
    deflater.Finish();
    file_size_ = static_cast<std::int32_t>(length);
  } else {
    while (const std::size_t n = source->Read(buffer.data(), buffer.size())) {
      data_.Write(std::string_view(buffer.data(), n));
    }
  }
  data_.SetPosition(0);
  if (OnAfterLoad) OnAfterLoad(*this);
}

void TmxStoredItem::ReadData(Stream& stream) {
  data_.Clear();
  char header[4];
  if (stream.Read(header, 4) != 4) throw StoreError("Stream read error");
  const std::int32_t length = FromLittleEndian(header);
  if (length < 0 || static_cast<std::uint64_t>(length) > stream.Size() - stream.Position()) {
    throw StoreError("Stream read error");
  }
  std::string bytes(static_cast<std::size_t>(length), '\0');
  if (stream.Read(bytes.data(), bytes.size()) != bytes.size()) {
    throw StoreError("Stream read error");
  }
  data_ = MemoryStream(std::move(bytes));
}

void TmxStoredItem::WriteData(Stream& stream) {
  data_.SetPosition(0);
  stream.Write(std::string_view(LittleEndian(static_cast<std::uint32_t>(Size())).data(), 4));
  stream.Write(data_.Bytes());
}

// ---- TmxStoredItems

TmxStoredItems::~TmxStoredItems() {
  Clear();
}

TmxStoredItem& TmxStoredItems::Add() {
  items_.push_back(std::make_unique<TmxStoredItem>(*this, TmxStoredItem::CollectionKey()));
  TmxStoredItem& item = *items_.back();
  // The lowest free number; every clash starts the comparison again from the first item.
  for (int number = 1;; ++number) {
    const std::string candidate = "mxStoredItem" + std::to_string(number);
    bool taken = false;
    for (const auto& other : items_) {
      if (other.get() != &item && EqualsIgnoringAsciiCase(other->Name(), candidate)) taken = true;
    }
    if (!taken) {
      item.SetName(candidate);
      return item;
    }
  }
}

void TmxStoredItems::Delete(int index) {
  // The item leaves the collection before it is destroyed and raises OnDestroy.
  std::unique_ptr<TmxStoredItem> item = std::move(items_.at(static_cast<std::size_t>(index)));
  items_.erase(items_.begin() + index);
}

void TmxStoredItems::Clear() {
  while (!items_.empty()) Delete(Count() - 1);
}

// ---- TmxStorage

TmxStoredItem* TmxStorage::ItemByName(std::string_view name) const {
  for (int i = 0; i < stored_items_->Count(); ++i) {
    TmxStoredItem& item = stored_items_->Items(i);
    if (EqualsIgnoringAsciiCase(item.Name(), name)) return &item;
  }
  return nullptr;
}

TmxStoredItem* TmxStorage::ItemByIndex(std::int32_t index) const {
  if (index < 0) throw StoreError("List index out of bounds (" + std::to_string(index) + ")");
  if (index >= stored_items_->Count()) return nullptr;
  return &stored_items_->Items(index);
}

std::int32_t TmxStorage::Size() const {
  std::int32_t total = 0;
  for (int i = 0; i < stored_items_->Count(); ++i) total += stored_items_->Items(i).Size();
  return total;
}

std::int32_t TmxStorage::OriginalSize() const {
  std::int32_t total = 0;
  for (int i = 0; i < stored_items_->Count(); ++i) total += stored_items_->Items(i).FileSize();
  return total;
}

std::string TmxStorage::Ratio() const {
  return FormatRatio(Size(), OriginalSize(), platform::DecimalSeparator());
}

std::string TmxStorage::Version() const {
  return std::to_string(version_major_) + "." + std::to_string(version_minor_);
}

std::string FormatRatio(std::int64_t size, std::int64_t original_size,
                        const std::string& separator) {
  if (original_size == 0) return "100%";
  char text[64];
  const double percent = static_cast<double>(size) / static_cast<double>(original_size) * 100.0;
  // to_chars ignores the process's locale; the separator is put in by hand.
  const auto end =
      std::to_chars(text, text + sizeof text, percent, std::chars_format::fixed, 2).ptr;
  std::string result(text, end);
  if (const auto dot = result.find('.'); dot != std::string::npos) {
    result.replace(dot, 1, separator);
  }
  return result + "%";
}

void SaveStoredItem(const TmxStorage& store, std::string_view name, const std::string& file_name) {
  TmxStoredItem* item = store.ItemByName(name);
  if (item == nullptr) {
    throw StoreError("The program's store holds no item \"" + std::string(name) + "\"");
  }
  item->SaveToFile(file_name);
}

}  // namespace korvel

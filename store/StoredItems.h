// The embedded file store: whole files carried inside the program, compressed with zlib, found
// by name and written back out on demand.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "store/Stream.h"

namespace korvel {

// Errors of the store: "Duplicated stored item name", "Error" (damaged compressed data),
// "Stream read error" (data ends early), "List index out of bounds (%d)", a missing item.
// A file that cannot be created raises FileError instead.
class StoreError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// How an item's data is encoded. Every level but clNone stores one zlib stream whose content is
// the file's length (int32, little-endian) followed by the file's bytes.
enum TCompressionLevel : std::uint8_t {
  clNone,     // the file's bytes as they are
  clFastest,  // zlib level 1
  clDefault,  // zlib's default level
  clMax,      // zlib level 9
};

class TmxStorage;
class TmxStoredItems;

// One stored file.
class TmxStoredItem {
 public:
  using TNotifyEvent = std::function<void(TmxStoredItem& item)>;
  using TmxStreamEvent = std::function<void(TmxStoredItem& item, Stream& stream)>;

  // Items are made by their collection only (TmxStoredItems::Add).
  class CollectionKey {
    friend class TmxStoredItems;
    CollectionKey() = default;
  };
  TmxStoredItem(TmxStoredItems& collection, CollectionKey) : collection_(collection) {}

  // Leaves the collection's hands only through TmxStoredItems::Delete or the store's end;
  // raises OnDestroy last.
  ~TmxStoredItem();
  TmxStoredItem(const TmxStoredItem&) = delete;
  TmxStoredItem& operator=(const TmxStoredItem&) = delete;

  std::int32_t Tag() const { return tag_; }
  void SetTag(std::int32_t tag) { tag_ = tag; }

  // Unique in the collection without regard to letter case. Renaming to a name another item
  // bears raises "Duplicated stored item name"; a change of letter case alone is not applied.
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);

  // The file the item was made from; informational. Set only while the store is loading.
  const std::string& FileName() const { return file_name_; }
  void SetFileName(const std::string& file_name);

  // Length of the file's content. Set by encoding, or while the store is loading.
  std::int32_t FileSize() const { return file_size_; }
  void SetFileSize(std::int32_t file_size);

  // A change after loading decodes the content and encodes it again at the new level.
  TCompressionLevel Compression() const { return compression_; }
  void SetCompression(TCompressionLevel compression);

  // The encoded payload, and its length.
  const MemoryStream& Data() const { return data_; }
  std::int32_t Size() const { return static_cast<std::int32_t>(data_.Size()); }
  // Size as a share of FileSize: "75,06%" (the user's decimal separator), "100%" for no file.
  std::string Ratio() const;

  // Writes the decoded content into a new or emptied file; the name is used as given.
  // Raises FileError when the file cannot be created, StoreError for damaged data (what was
  // decoded until then stays in the file).
  void SaveToFile(const std::string& file_name);
  // Writes the decoded content at the target's position. Nothing happens without a target.
  void SaveToStream(Stream* target);
  // Replaces the data with the encoding of the source's whole content.
  void LoadFromStream(Stream* source);

  // The persistent "StoredItem" property: the data's length (int32, little-endian), then the
  // data. ReadData raises "Stream read error" when the bytes end early.
  void ReadData(Stream& stream);
  void WriteData(Stream& stream);

  TmxStoredItems& Collection() const { return collection_; }

  TNotifyEvent OnDestroy;
  TmxStreamEvent OnBeforeLoad;
  TmxStreamEvent OnBeforeSave;
  TNotifyEvent OnAfterLoad;
  TNotifyEvent OnAfterSave;

 private:
  bool Loading() const;

  TmxStoredItems& collection_;
  std::int32_t tag_ = 0;
  std::string name_;
  std::string file_name_;
  std::int32_t file_size_ = 0;
  MemoryStream data_;
  TCompressionLevel compression_ = clDefault;
};

// The items of a store, in insertion order.
class TmxStoredItems {
 public:
  explicit TmxStoredItems(TmxStorage& owner) : owner_(owner) {}
  ~TmxStoredItems();
  TmxStoredItems(const TmxStoredItems&) = delete;
  TmxStoredItems& operator=(const TmxStoredItems&) = delete;

  // Inserts a new item named "mxStoredItem<n>" with the lowest n no other item bears.
  TmxStoredItem& Add();
  // Destroys the item at `index`.
  void Delete(int index);
  void Clear();

  int Count() const { return static_cast<int>(items_.size()); }
  TmxStoredItem& Items(int index) const { return *items_.at(static_cast<std::size_t>(index)); }
  TmxStorage& Owner() const { return owner_; }

 private:
  TmxStorage& owner_;
  std::vector<std::unique_ptr<TmxStoredItem>> items_;
};

// The store: owns its items.
class TmxStorage {
 public:
  TmxStorage() : stored_items_(std::make_unique<TmxStoredItems>(*this)) {}

  TmxStoredItems& StoredItems() const { return *stored_items_; }

  // The first item whose name equals `name` without regard to letter case, or none.
  TmxStoredItem* ItemByName(std::string_view name) const;
  // The item at a 0-based position, or none past the end. A negative position raises
  // "List index out of bounds (%d)".
  TmxStoredItem* ItemByIndex(std::int32_t index) const;

  std::int32_t Size() const;          // sum of the items' Size
  std::int32_t OriginalSize() const;  // sum of the items' FileSize
  std::string Ratio() const;
  std::string Version() const;  // "1.1"

  // While loading, FileName, FileSize and Compression are plain assignments.
  bool Loading() const { return loading_; }
  void BeginLoading() { loading_ = true; }
  void EndLoading() { loading_ = false; }

 private:
  std::uint8_t version_major_ = 1;
  std::uint8_t version_minor_ = 1;
  bool loading_ = false;
  std::unique_ptr<TmxStoredItems> stored_items_;
};

// "75,06%": size / original_size * 100 with two decimals and `separator`; "100%" when
// original_size is 0.
std::string FormatRatio(std::int64_t size, std::int64_t original_size,
                        const std::string& separator);

// Saves the item named `name` to `file_name`; raises StoreError naming the item when the store
// holds none of that name.
void SaveStoredItem(const TmxStorage& store, std::string_view name, const std::string& file_name);

}  // namespace korvel

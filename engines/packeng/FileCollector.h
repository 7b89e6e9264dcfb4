// Finds the files and folders below a root that a packing run's file patterns select.
#pragma once

#include <sys/stat.h>
#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "engines/common/EngineCommon.h"

namespace korvel::engine {

struct SourceItem {
  std::string entry_name;  // relative, "/"-separated; folders end with "/"
  std::string path;        // where the bytes are
  bool is_dir = false;
  std::time_t mtime = 0;
  std::uint64_t size = 0;
  std::uint32_t mode = 0;  // permission bits
};

struct CollectOptions {
  std::string root;                 // base of relative patterns and of entry names
  bool dir_entries = false;         // an entry for every folder
  bool junk_dirs = false;           // bare file names, no folder entries
  bool hidden = false;              // include names starting with "."
  std::optional<std::time_t> from;  // only files changed at or after this moment
  std::vector<std::string> excludes;
  // Files never to pack (device, inode): the archive being written.
  std::set<std::pair<dev_t, ino_t>> skip;
};

class FileCollector {
 public:
  FileCollector(CollectOptions options, CallbackChannel& channel);

  // Adds what one file pattern selects; `text` uses "/" or "\\" as separators.
  void AddPattern(const std::string& text, bool recurse);

  // Items in walk order (a folder before its contents, names sorted per folder), each name once.
  const std::vector<SourceItem>& Items() const { return items_; }

 private:
  void Walk(const std::string& dir_path, const std::string& rel_dir, const std::string& pattern,
            bool recurse);
  void AddFile(const std::string& rel_name, const std::string& path, const struct stat& st);
  void AddDir(const std::string& rel_dir, const std::string& path, const struct stat& st);
  void EnsureParents(const std::string& rel_name);
  bool Excluded(const std::string& entry_name) const;
  // The entry name for a path relative to the root, or nothing (with a message) when unusable.
  std::optional<std::string> EntryName(const std::string& rel_name, bool is_dir);
  void Warn(std::int32_t error, const std::string& text);

  CollectOptions options_;
  CallbackChannel& channel_;
  std::vector<SourceItem> items_;
  std::set<std::string> seen_;
};

}  // namespace korvel::engine

// Walks the folders named by packing patterns; links to folders are not followed, so a
// link cycle cannot make the walk endless, and special files are never read.
#include "engines/packeng/FileCollector.h"

#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <filesystem>
#include <memory>

namespace korvel::engine {

namespace {

struct DirCloser {
  void operator()(DIR* dir) const { closedir(dir); }
};

std::string BaseName(const std::string& path) {
  const std::size_t slash = path.find_last_of('/');
  return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string Normalized(const std::string& path) {
  std::string text = std::filesystem::path(path).lexically_normal().string();
  while (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

}  // namespace

FileCollector::FileCollector(CollectOptions options, CallbackChannel& channel)
    : options_(std::move(options)), channel_(channel) {
  options_.root = Normalized(options_.root.empty() ? "." : options_.root);
}

void FileCollector::Warn(std::int32_t error, const std::string& text) {
  channel_.Message(error, text);
}

bool FileCollector::Excluded(const std::string& entry_name) const {
  std::string bare = entry_name;
  if (!bare.empty() && bare.back() == '/') bare.pop_back();
  const std::string base = BaseName(bare);
  return std::any_of(options_.excludes.begin(), options_.excludes.end(), [&](std::string pattern) {
    std::replace(pattern.begin(), pattern.end(), '\\', '/');
    if (MatchWildcard(pattern, entry_name) || MatchWildcard(pattern, bare)) return true;
    return pattern.find('/') == std::string::npos && MatchNamePattern(pattern, base);
  });
}

std::optional<std::string> FileCollector::EntryName(const std::string& rel_name, bool is_dir) {
  const std::string name = options_.junk_dirs ? BaseName(rel_name) : rel_name;
  const std::optional<std::string> safe = SafeEntryPath(name);
  if (!safe) {
    Warn(kEngineErrorUnsafeName, "Not added, the name cannot be stored: " + rel_name);
    return std::nullopt;
  }
  return is_dir ? *safe + '/' : *safe;
}

void FileCollector::EnsureParents(const std::string& rel_name) {
  if (!options_.dir_entries || options_.junk_dirs) return;
  for (std::size_t slash = rel_name.find('/');
       slash != std::string::npos && slash + 1 < rel_name.size();
       slash = rel_name.find('/', slash + 1)) {
    const std::string parent = rel_name.substr(0, slash + 1);
    if (seen_.count(parent) || Excluded(parent)) continue;
    struct stat st {};
    const std::string path = options_.root + '/' + parent.substr(0, parent.size() - 1);
    if (::stat(path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) continue;
    seen_.insert(parent);
    items_.push_back(SourceItem{parent, path, true, st.st_mtime, 0,
                                static_cast<std::uint32_t>(st.st_mode & 07777)});
  }
}

void FileCollector::AddDir(const std::string& rel_dir, const std::string& path,
                           const struct stat& st) {
  if (!options_.dir_entries || options_.junk_dirs) return;
  const std::optional<std::string> name = EntryName(rel_dir, true);
  if (!name || seen_.count(*name) || Excluded(*name)) return;
  EnsureParents(*name);
  seen_.insert(*name);
  items_.push_back(SourceItem{*name, path, true, st.st_mtime, 0,
                              static_cast<std::uint32_t>(st.st_mode & 07777)});
}

void FileCollector::AddFile(const std::string& rel_name, const std::string& path,
                            const struct stat& st) {
  if (options_.skip.count({st.st_dev, st.st_ino})) return;
  if (options_.from && st.st_mtime < *options_.from) return;
  const std::optional<std::string> name = EntryName(rel_name, false);
  if (!name || seen_.count(*name) || Excluded(*name)) return;
  EnsureParents(*name);
  seen_.insert(*name);
  items_.push_back(SourceItem{*name, path, false, st.st_mtime,
                              static_cast<std::uint64_t>(st.st_size),
                              static_cast<std::uint32_t>(st.st_mode & 07777)});
}

void FileCollector::Walk(const std::string& dir_path, const std::string& rel_dir,
                         const std::string& pattern, bool recurse) {
  std::unique_ptr<DIR, DirCloser> dir(opendir(dir_path.c_str()));
  if (!dir) {
    Warn(kEngineErrorRead, "Cannot list folder " + dir_path + ": " + ErrnoText(errno));
    return;
  }
  std::vector<std::string> names;
  while (const dirent* entry = readdir(dir.get())) {
    const std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    if (!options_.hidden && name.front() == '.') continue;
    names.push_back(name);
  }
  dir.reset();
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const std::string path = dir_path + '/' + name;
    struct stat st {};
    if (::lstat(path.c_str(), &st) != 0) continue;  // vanished meanwhile
    if (S_ISLNK(st.st_mode)) {
      if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) continue;
    }
    if (S_ISDIR(st.st_mode)) {
      if (!recurse) continue;
      const std::string rel = rel_dir + name + '/';
      if (MatchNamePattern(pattern, name)) AddDir(rel, path, st);
      Walk(path, rel, pattern, recurse);
    } else if (S_ISREG(st.st_mode) && MatchNamePattern(pattern, name)) {
      AddFile(rel_dir + name, path, st);
    }
  }
}

void FileCollector::AddPattern(const std::string& text, bool recurse) {
  std::string path_pattern = text;
  std::replace(path_pattern.begin(), path_pattern.end(), '\\', '/');
  if (path_pattern.empty()) return;
  const bool absolute = path_pattern.front() == '/';
  const std::size_t slash = path_pattern.find_last_of('/');
  const std::string dir_part = slash == std::string::npos ? "" : path_pattern.substr(0, slash);
  const std::string pattern =
      slash == std::string::npos ? path_pattern : path_pattern.substr(slash + 1);
  const std::string dir_path =
      Normalized(absolute ? (dir_part.empty() ? "/" : dir_part)
                          : (dir_part.empty() ? options_.root : options_.root + '/' + dir_part));
  // Names below the root are stored relative to it; others by their path without the leading "/".
  std::string rel_dir;
  if (dir_path != options_.root) {
    if (dir_path.rfind(options_.root + '/', 0) == 0 && options_.root != "/")
      rel_dir = dir_path.substr(options_.root.size() + 1) + '/';
    else if (options_.root == "/")
      rel_dir = dir_path.substr(1) + '/';
    else
      rel_dir = (dir_path.front() == '/' ? dir_path.substr(1) : dir_path) + '/';
  }
  if (rel_dir == "/") rel_dir.clear();

  if (pattern.empty() || !HasWildcards(pattern)) {
    const std::string path = pattern.empty() ? dir_path : dir_path + '/' + pattern;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) {
      Warn(kEngineErrorWarning, "Name not matched: " + text);
      return;
    }
    if (S_ISREG(st.st_mode)) {
      AddFile(rel_dir + pattern, path, st);
    } else if (S_ISDIR(st.st_mode)) {
      const std::string rel = pattern.empty() ? rel_dir : rel_dir + pattern + '/';
      if (!rel.empty()) AddDir(rel, path, st);
      if (recurse) Walk(path, rel, "*", true);
    }
    return;
  }
  struct stat st {};
  if (::stat(dir_path.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
    Warn(kEngineErrorWarning, "Name not matched: " + text);
    return;
  }
  Walk(dir_path, rel_dir, pattern, recurse);
}

}  // namespace korvel::engine

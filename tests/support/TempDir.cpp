// Scratch folders and file helpers shared by the tests.
#include "support/TempDir.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace korvel::test {

namespace fs = std::filesystem;

TempDir::TempDir() : TempDir(fs::temp_directory_path().string()) {}

TempDir::TempDir(const std::string& base) {
  std::string pattern = (fs::path(base) / "korvel-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("mkdtemp failed");
  path_ = pattern;
}

TempDir::~TempDir() {
  std::error_code ec;
  // Tests make files read-only; give write access back so the tree can go.
  for (auto it = fs::recursive_directory_iterator(path_, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    if (!it->is_symlink())
      fs::permissions(it->path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

std::string TempDir::operator/(std::string_view relative) const {
  return (fs::path(path_) / relative).string();
}

std::string TempDir::Write(std::string_view relative, std::string_view content) const {
  fs::path p = fs::path(path_) / relative;
  fs::create_directories(p.parent_path());
  std::ofstream out(p, std::ios::binary | std::ios::trunc);
  out.write(content.data(), static_cast<std::streamsize>(content.size()));
  if (!out) throw std::runtime_error("cannot write " + p.string());
  return p.string();
}

std::string TempDir::MakeDir(std::string_view relative) const {
  fs::path p = fs::path(path_) / relative;
  fs::create_directories(p);
  return p.string();
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << "cannot read " << path;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

std::string SourceFile(std::string_view relative) {
  return (fs::path(KORVEL_SOURCE_DIR) / relative).string();
}

std::string TestDataFile(std::string_view relative) {
  return (fs::path(KORVEL_TEST_DATA_DIR) / relative).string();
}

int RunCommand(const std::string& command, std::string& output) {
  TempDir dir;
  const std::string log = dir / "output.txt";
  const int status = std::system((command + " > '" + log + "' 2>&1").c_str());
  output = ReadFile(log);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

std::string CorpusFile(std::string_view relative) {
  const fs::path p = fs::path(KORVEL_CORPUS_DIR) / relative;
  if (!fs::exists(p)) ADD_FAILURE() << "sample game file missing: " << p;
  return p.string();
}

}  // namespace korvel::test

// A scratch folder for one test, removed with everything in it when the test ends.
#pragma once

#include <string>
#include <string_view>

namespace korvel::test {

class TempDir {
 public:
  TempDir();
  // A scratch folder below `base` instead of the system's temporary folder.
  explicit TempDir(const std::string& base);
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::string& Path() const { return path_; }
  // Full path of `relative` inside the folder.
  std::string operator/(std::string_view relative) const;

  // Writes a file (creating its folders); returns its full path.
  std::string Write(std::string_view relative, std::string_view content) const;
  // Creates a folder (and its parents); returns its full path.
  std::string MakeDir(std::string_view relative) const;

 private:
  std::string path_;
};

// Reads a whole file, or fails the test.
std::string ReadFile(const std::string& path);

// Path of a file of the source tree ("payload/FullCn.class") or of tests/data.
std::string SourceFile(std::string_view relative);
std::string TestDataFile(std::string_view relative);

// Runs a shell command; returns its exit status and puts what it printed (stdout and stderr)
// into `output`.
int RunCommand(const std::string& command, std::string& output);

// Path of a file of the sample games (tests/data/corpus); a missing file fails the test.
std::string CorpusFile(std::string_view relative);

}  // namespace korvel::test

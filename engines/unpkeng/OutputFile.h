// The file an unpacked entry is written to. A new file is written under its own name; an existing
// one through a temporary name in its folder (so the rename cannot cross devices), which replaces
// it only in Commit. Whatever was created is removed again unless Commit succeeded.
#pragma once

#include <cstddef>
#include <ctime>
#include <random>
#include <string>

#include "engines/common/EngineCommon.h"

namespace korvel::engine {

class OutputFile {
 public:
  explicit OutputFile(CallbackChannel& channel) : channel_(channel) {}
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Opens the file for `target`, whose folder is `folder`; `exists` says whether the target is
  // there already. False (with a message) when no file can be created.
  bool Create(const std::string& target, const std::string& folder, bool exists,
              std::mt19937& random);
  // False (with a message) when the bytes cannot be written.
  bool Write(const char* data, std::size_t size);
  // Gives the file `mtime`, closes it and puts it in the target's place; false (with a message)
  // when that fails.
  bool Commit(std::time_t mtime);

 private:
  // Sends the failure of a call on the target with the system's error `err`.
  void Fail(int err);

  CallbackChannel& channel_;
  std::string target_;
  std::string path_;  // what was created: the target or a temporary; empty once committed
  UniqueFd fd_;
};

}  // namespace korvel::engine

// The error raised by failing file and folder operations.
#pragma once

#include <stdexcept>
#include <string>
#include <string_view>

namespace korvel {

// Carries a message that names the file and the system's reason, for example
// Cannot open file "/games/a.class". Permission denied
class FileError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// The system's text for errno value `err`, in words a user understands; a full disk reads
// "no space left on the disk".
std::string SystemErrorText(int err);

// Throws a FileError for `action` ("Cannot open file") on `path` with the text of errno value
// `err`.
[[noreturn]] void ThrowFileError(std::string_view action, const std::string& path, int err);

}  // namespace korvel

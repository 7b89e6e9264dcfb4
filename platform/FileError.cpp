// Building the texts of file errors.
#include "platform/FileError.h"

#include <cstring>

namespace korvel {

void ThrowFileError(std::string_view action, const std::string& path, int err) {
  std::string message(action);
  message += " \"" + path + "\". ";
  message += std::strerror(err);
  throw FileError(message);
}

}  // namespace korvel

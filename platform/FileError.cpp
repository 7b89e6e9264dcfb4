// Building the texts of file errors.
#include "platform/FileError.h"

#include <cerrno>
#include <cstring>

namespace korvel {

std::string SystemErrorText(int err) {
  if (err == ENOSPC || err == EDQUOT) return "no space left on the disk";
  return std::strerror(err);
}

void ThrowFileError(std::string_view action, const std::string& path, int err) {
  std::string message(action);
  message += " \"" + path + "\". ";
  message += SystemErrorText(err);
  throw FileError(message);
}

}  // namespace korvel

// Why a job or a restore stopped, as a value: what failed (a text of the Language table), the file
// or entry it names, the system's error number and the words of the component that failed. The
// front end words it in the user's language; nothing is read back from the words.
#pragma once

#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "settings/Language.h"

namespace korvel {

struct Failure {
  // What failed, a format text (FormatText); none when `detail` alone says it.
  std::optional<TextId> text;
  // The values of the format: the file or entry named first, then any figures.
  std::vector<std::string> args;
  // The system's error number (errno); 0 for none.
  int error = 0;
  // Another component's own words (an archive engine's message); "" for none.
  std::string detail;
  // The failure this one follows from (the archive's, under "the Nokia classes could not be
  // unpacked"); may be null.
  std::shared_ptr<const Failure> cause;
};

// The failure in `texts`' words: the text with its values, then, each after ": ", the system's
// reason, the detail and the cause. For example
//   Cannot write "/games/a.jad": no space left on the disk
std::string FailureText(const Failure& failure, const Language& texts);

// A failure that ends a job (or a restore): the game stays as it was. what() gives it in English.
class JobFailure : public std::runtime_error {
 public:
  explicit JobFailure(Failure failure);
  // A reason worded already; it travels as the failure's detail.
  explicit JobFailure(const std::string& reason);

  const Failure& failure() const { return failure_; }

 private:
  Failure failure_;
};

}  // namespace korvel

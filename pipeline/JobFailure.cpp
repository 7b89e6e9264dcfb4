// Failures as values, and their words.
#include "pipeline/JobFailure.h"

#include <utility>

#include "platform/FileError.h"

namespace korvel {

std::string FailureText(const Failure& failure, const Language& texts) {
  std::string text = failure.text ? FormatText(texts[*failure.text], failure.args) : "";
  const auto add = [&text](const std::string& part) {
    if (part.empty()) return;
    text += (text.empty() ? "" : ": ") + part;
  };
  if (failure.error != 0) add(SystemErrorText(failure.error));
  add(failure.detail);
  if (failure.cause) add(FailureText(*failure.cause, texts));
  return text;
}

JobFailure::JobFailure(Failure failure)
    : std::runtime_error(FailureText(failure, Language::English())), failure_(std::move(failure)) {}

JobFailure::JobFailure(const std::string& reason)
    : std::runtime_error(reason), failure_{std::nullopt, {}, 0, reason, nullptr} {}

}  // namespace korvel

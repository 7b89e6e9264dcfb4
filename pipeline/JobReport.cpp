// The words a front end shows for a job's report.
#include "pipeline/JobReport.h"

namespace korvel {

TextId OutcomeText(JobOutcome outcome) {
  switch (outcome) {
    case JobOutcome::kAdapted:
      return TextId::kAdapted;
    case JobOutcome::kUnchanged:
      return TextId::kUnchanged;
    case JobOutcome::kAlreadyAdapted:
      return TextId::kAlreadyAdaptedResult;
    case JobOutcome::kFailed:
      break;
  }
  return TextId::kFailed;
}

std::string OutcomeLine(const Language& texts, const JobReport& report) {
  const std::string& word = texts[OutcomeText(report.outcome)];
  return report.reason.empty() ? word : word + ": " + report.reason;
}

}  // namespace korvel

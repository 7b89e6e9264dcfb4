// What the patch job tests share: a job wired to fresh components and folders, and ways to look
// into the JARs it writes.
#pragma once

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "pipeline/JobComponents.h"
#include "pipeline/PatchJob.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace korvel {}  // namespace korvel

namespace korvel::test {

class RecordingSink : public JobSink {
 public:
  void ConsoleLine(const std::string& line) override { lines.push_back(line); }
  void SetGauge(int percent) override { gauges.push_back(percent); }
  void ConsoleProgress(const std::string& line) override { progress.push_back(line); }
  std::vector<std::string> lines;
  std::vector<std::string> progress;
  std::vector<int> gauges;
};

// Unpacks a JAR with Info-ZIP and returns its files by relative path.
std::map<std::string, std::string> Unzip(const std::string& jar);

// The lines of a text whose lines all end with CR LF.
std::vector<std::string> Lines(const std::string& text);

// Folders of the compiled stand-in MIDP classes and of the compiled demo game.
struct CompiledDemo {
  std::string midp;
  std::string classes;
};
const CompiledDemo& Demo();

// A job with its components, a program directory and a folder of games, all fresh per test.
class JobFixture {
 protected:
  JobFixture() = default;
  // Scratch folders below `base`.
  explicit JobFixture(const std::string& base) : program_(base), games_(base), build_(base) {}

  void SetUpJob() {
    saved_cwd_ = platform::CurrentDirectory();
    components_.SetEngineDirectory(KORVEL_PROGRAM_DIR);
    job_ = components_.MakeJob(sink_, program_.Path());
  }

  // The job leaves the program directory current; it goes away with the test. Nothing to put
  // back when the set-up never ran (a skipped or failed set-up).
  void TearDownJob() {
    if (!saved_cwd_.empty()) platform::SetCurrentDirectory(saved_cwd_);
  }

  const std::string& Text(TextId id) const { return texts_.Text(id); }

  // The job (or its preview) on `jar`; its report stays in report_.
  JobOutcome Process(const std::string& jar, bool interactive) {
    report_ = job_->ProcessJar(jar, interactive);
    return report_.outcome;
  }
  JobOutcome PreviewJob(const std::string& jar) {
    report_ = job_->Preview(jar);
    return report_.outcome;
  }

  // Compiles the demo game and packs it as a JAR with a manifest and a JAD beside it.
  std::string MakeDemoGame(const std::string& name = "Demo");
  std::string saved_cwd_;
  TempDir program_;  // the program directory: work folder, lock, temporary archive
  TempDir games_;    // the user's folder
  TempDir build_;
  Settings settings_;
  Language texts_;
  RecordingSink sink_;
  JobComponents components_{settings_, texts_};
  std::unique_ptr<PatchJob> job_;
  JobReport report_;
};

}  // namespace korvel::test

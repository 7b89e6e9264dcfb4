// The patch job killed at every step, on a game with a JAD and the Nokia classes: after each kill
// the game is whole (the input, or the adapted pair with a JAD that matches its JAR), and the next
// run finishes or rolls back what was cut and leaves nothing behind.
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "pipeline/PatchJob.h"
#include "support/TempDir.h"
#include "tests/pipeline/JobFixture.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;

constexpr const char* kJar = "Tetris_N3410.jar";
constexpr const char* kJad = "Tetris_N3410.jad";

// The sweep runs hundreds of jobs, each flushing its files to the disk; a memory file system
// makes the flushes free where there is one.
std::string ScratchBase() {
  return fs::is_directory("/dev/shm") ? "/dev/shm" : fs::temp_directory_path().string();
}

class CrashConsistency : public testing::Test, public test::JobFixture {
 protected:
  CrashConsistency() : JobFixture(ScratchBase()) {}
  void SetUp() override {
    SetUpJob();
    original_jar_ = ReadFile(test::CorpusFile(std::string("ray-tetris-n3410/") + kJar));
    original_jad_ = ReadFile(test::CorpusFile(std::string("ray-tetris-n3410/") + kJad));
    jar_ = games_ / kJar;
  }
  void TearDown() override { TearDownJob(); }

  void ResetGame() {
    for (const auto& e : fs::directory_iterator(games_.Path())) fs::remove_all(e.path());
    games_.Write(kJar, original_jar_);
    games_.Write(kJad, original_jad_);
  }

  // Runs the job in a child process that kills itself at step `kill_at`. True when the job ran
  // to its end first. The entries of one archive operation leave the same state behind, so a run
  // of them counts as one step.
  bool RunKilledAt(int kill_at) {
    const pid_t pid = ::fork();
    if (pid == 0) {
      int step = 0;
      std::string previous;
      job_->OnStep = [&](std::string_view what) {
        const bool same_run = what == "archive entry" && previous == what;
        previous = what;
        if (!same_run && ++step == kill_at) ::raise(SIGKILL);
      };
      bool adapted = false;
      try {
        adapted = Process(jar_, false) == JobOutcome::kAdapted;
      } catch (...) {
      }
      ::_exit(adapted ? 0 : 1);
    }
    int status = 0;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFSIGNALED(status) || (WIFEXITED(status) && WEXITSTATUS(status) == 0));
    return WIFEXITED(status);
  }

  std::int64_t JadJarSize() const {
    const std::string jad = ReadFile(games_ / kJad);
    const std::string key = "MIDlet-Jar-Size: ";
    const auto pos = jad.find(key);
    return pos == std::string::npos ? -1 : std::stoll(jad.substr(pos + key.size()));
  }

  std::set<std::string> Names() const {
    std::set<std::string> names;
    for (const auto& e : fs::directory_iterator(games_.Path())) {
      names.insert(e.path().filename().string());
    }
    return names;
  }

  // Right after a kill: the input pair as it was, or the adapted pair, or a commit under way
  // with the input's bytes kept in full. Any backup holds the input.
  void ExpectWhole() {
    if (ReadFile(jar_) == original_jar_) {
      EXPECT_EQ(ReadFile(games_ / kJad), original_jad_);
    } else if (JadJarSize() != static_cast<std::int64_t>(fs::file_size(jar_))) {
      EXPECT_TRUE(fs::exists(jar_ + ".korvel-commit"));
      EXPECT_TRUE(ReadFile(jar_ + ".korvel-keep") == original_jar_);
    }
    if (fs::exists(jar_ + ".bak")) {
      EXPECT_TRUE(ReadFile(jar_ + ".bak") == original_jar_);
      // A JAR backup always has the JAD backup it needs beside it.
      EXPECT_EQ(ReadFile(games_ / (std::string(kJad) + ".bak")), original_jad_);
    }
  }

  // After the next, complete run: the adapted pair, the backup as asked, nothing else.
  void ExpectAdaptedAndClean(bool backup) {
    EXPECT_EQ(JadJarSize(), static_cast<std::int64_t>(fs::file_size(jar_)));
    TArchiver zip;
    zip.SetZipFileName(jar_);
    bool has_full_screen_class = false;
    for (const ZipDirEntry& entry : zip.ZipContents()) {
      has_full_screen_class |= entry.FileName == "com/quillmoss/fullscreen/FullCn.class";
    }
    EXPECT_TRUE(has_full_screen_class);
    std::set<std::string> expected = {kJar, kJad};
    if (backup) {
      expected.insert(std::string(kJar) + ".bak");
      expected.insert(std::string(kJad) + ".bak");
      EXPECT_TRUE(ReadFile(jar_ + ".bak") == original_jar_);
      EXPECT_EQ(ReadFile(games_ / (std::string(kJad) + ".bak")), original_jad_);
    }
    EXPECT_EQ(Names(), expected);
    EXPECT_FALSE(fs::exists(program_ / "temp"));
    EXPECT_FALSE(fs::exists(program_ / "staged.jad"));
    EXPECT_FALSE(fs::exists(program_ / "Nokia.zip"));
  }

  std::string original_jar_;
  std::string original_jad_;
  std::string jar_;
};

TEST_F(CrashConsistency, AKillAtAnyStepNeverDamagesTheGame) {
  for (const bool backup : {false, true}) {
    settings_.Backup = backup;
    int kill_at = 1;
    for (;; ++kill_at) {
      SCOPED_TRACE(testing::Message() << "backup " << backup << ", killed at step " << kill_at);
      ResetGame();
      const bool finished = RunKilledAt(kill_at);
      ExpectWhole();
      const bool leftovers = Names().size() > (fs::exists(jar_ + ".bak") ? 4u : 2u);

      sink_.lines.clear();
      // A commit the killed run began is finished first; the game is then adapted already.
      const JobOutcome outcome = Process(jar_, true);
      ASSERT_TRUE(outcome == JobOutcome::kAdapted || outcome == JobOutcome::kAlreadyAdapted)
          << report_.reason;
      ExpectAdaptedAndClean(backup);
      // What the next run found is told in one line, naming the game, before its work.
      if (leftovers) {
        ASSERT_GE(sink_.lines.size(), 2u);
        EXPECT_NE(sink_.lines[1].find(kJar), std::string::npos) << sink_.lines[1];
      }
      if (finished || HasFatalFailure()) break;
    }
    EXPECT_GT(kill_at, 20);  // the sweep went through the whole job
  }
}

}  // namespace
}  // namespace korvel

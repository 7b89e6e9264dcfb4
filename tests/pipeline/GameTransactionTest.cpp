// The game's transaction: its journals read from the files each version leaves, recovery from
// each, a restore cut short and run again, the game's lock, and failures worded.
#include "pipeline/GameTransaction.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <optional>

#include "pipeline/GameFiles.h"
#include "pipeline/Journal.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

namespace fs = std::filesystem;
using test::ReadFile;
using test::TempDir;
using Files = std::map<std::string, std::string>;

Files FolderFiles(const TempDir& dir) {
  Files files;
  for (const auto& e : fs::directory_iterator(dir.Path())) {
    files[e.path().filename().string()] = ReadFile(e.path().string());
  }
  return files;
}

// A commit under way: the journal on the disk, the new pair and the keep copies beside the game.
const Files kCommitting = {{"Demo.jar", "old jar"},
                           {"Demo.jad", "old jad"},
                           {"Demo.jar.korvel-new", "new jar"},
                           {"Demo.jad.korvel-new", "new jad"},
                           {"Demo.jar.korvel-keep", "old jar"},
                           {"Demo.jad.korvel-keep", "old jad"}};
// A restore under way: the JAD is back already, the JAR not yet.
const Files kRestoring = {
    {"Demo.jar", "new jar"}, {"Demo.jad", "old jad"}, {"Demo.jar.bak", "old jar"}};

struct JournalCase {
  const char* file;
  JournalKind kind;
  std::optional<Journal> journal;  // as read; nothing: one not to act on
  Files before;                    // beside the journal, named GAME.jar.korvel-commit|restore
  Files after;                     // once recovered
  TextId line;                     // what the recovery says
};

Journal Read(JournalKind kind, int version, std::optional<std::string> jad, bool backup) {
  Journal journal;
  journal.kind = kind;
  journal.version = version;
  journal.descriptor = std::move(jad);
  journal.backup = backup;
  return journal;
}

class JournalFile : public testing::TestWithParam<JournalCase> {};

TEST_P(JournalFile, IsReadRightAndRecoveredFrom) {
  const JournalCase& c = GetParam();
  const std::string text = ReadFile(test::TestDataFile(std::string("journals/") + c.file));
  EXPECT_EQ(ParseJournal(text, c.kind), c.journal);
  // Nothing takes a journal for the other kind's.
  EXPECT_EQ(ParseJournal(text, c.kind == JournalKind::kCommit ? JournalKind::kRestore
                                                              : JournalKind::kCommit),
            std::nullopt);
  // The versions this release writes come out as they were read.
  if (c.journal &&
      c.journal->version ==
          (c.kind == JournalKind::kCommit ? kCommitJournalVersion : kRestoreJournalVersion)) {
    EXPECT_EQ(FormatJournal(*c.journal), text);
  }

  const TempDir games;
  for (const auto& [name, content] : c.before) games.Write(name, content);
  const std::string jar = games / "Demo.jar";
  games.Write(platform::FileNamePart(c.kind == JournalKind::kCommit ? CommitJournalPath(jar)
                                                                    : RestoreJournalPath(jar)),
              text);
  GameTransaction game(jar, {});
  const Language texts;
  EXPECT_EQ(game.Recover(texts), FormatText(texts[c.line], {"Demo.jar"}));
  EXPECT_EQ(FolderFiles(games), c.after);
  EXPECT_EQ(game.Recover(texts), "");  // nothing is left to do
}

INSTANTIATE_TEST_SUITE_P(
    EveryVersion, JournalFile,
    testing::Values(JournalCase{"commit-v1.journal",
                                JournalKind::kCommit,
                                Read(JournalKind::kCommit, 1, "Demo.jad", true),
                                kCommitting,
                                {{"Demo.jar", "new jar"},
                                 {"Demo.jad", "new jad"},
                                 {"Demo.jar.bak", "old jar"},
                                 {"Demo.jad.bak", "old jad"}},
                                TextId::kCommitCompleted},
                    // Cut in the JAD's line: the JAD beside the JAR; no backup line, so no backup.
                    JournalCase{"commit-v1-cut.journal",
                                JournalKind::kCommit,
                                Read(JournalKind::kCommit, 1, std::nullopt, false),
                                kCommitting,
                                {{"Demo.jar", "new jar"}, {"Demo.jad", "new jad"}},
                                TextId::kCommitCompleted},
                    JournalCase{"commit-v2.journal",
                                JournalKind::kCommit,
                                Read(JournalKind::kCommit, 2, "Demo.jad", true),
                                kCommitting,
                                {{"Demo.jar", "new jar"},
                                 {"Demo.jad", "new jad"},
                                 {"Demo.jar.bak", "old jar"},
                                 {"Demo.jad.bak", "old jad"}},
                                TextId::kCommitCompleted},
                    JournalCase{"commit-v2-cut.journal",
                                JournalKind::kCommit,
                                std::nullopt,
                                kCommitting,
                                {{"Demo.jar", "old jar"}, {"Demo.jad", "old jad"}},
                                TextId::kLeftoversRemoved},
                    JournalCase{"restore-v1.journal",
                                JournalKind::kRestore,
                                Read(JournalKind::kRestore, 1, "Demo.jad", false),
                                kRestoring,
                                {{"Demo.jar", "old jar"}, {"Demo.jad", "old jad"}},
                                TextId::kRestoreCompleted},
                    JournalCase{"restore-v1-cut.journal", JournalKind::kRestore, std::nullopt,
                                kRestoring, kRestoring, TextId::kLeftoversRemoved}));

// A restore cut short by a power loss and run again: its recovery finishes the restore, which
// is then what it reports; only a restore with nothing to put back fails.
TEST(GameTransaction, ARestoreRunAgainAfterAPowerCutSaysRestored) {
  const TempDir games;
  const TempDir job;
  for (const auto& [name, content] : kRestoring) games.Write(name, content);
  const std::string jar = games / "Demo.jar";
  games.Write("Demo.jar.korvel-restore",
              ReadFile(test::TestDataFile("journals/restore-v1.journal")));
  const Language texts;
  EXPECT_EQ(RestoreBackup(jar, job.Path(), texts),
            FormatText(texts[TextId::kRestoreCompleted], {"Demo.jar"}));
  EXPECT_EQ(FolderFiles(games), (Files{{"Demo.jar", "old jar"}, {"Demo.jad", "old jad"}}));
  try {
    RestoreBackup(jar, job.Path(), texts);
    ADD_FAILURE() << "restored without a backup";
  } catch (const JobFailure& e) {
    EXPECT_EQ(e.failure().text, TextId::kNoBackup);
    EXPECT_EQ(e.failure().args, std::vector<std::string>{"Demo.jar.bak"});
  }
}

// One party at a time on a game, however its path is spelt; another game is free.
TEST(GameTransaction, TwoTransactionsOnOneGameExcludeEachOther) {
  const TempDir games;
  const TempDir job;
  games.Write("Demo.jar", "new jar");
  games.Write("Demo.jar.bak", "old jar");
  games.Write("Other.jar", "other");
  fs::create_directory_symlink(games.Path(), job / "games");
  auto first = std::make_unique<GameTransaction>(games / "Demo.jar", JobStepHook{});
  first->Lock(job.Path());
  EXPECT_TRUE(first->Locked());

  for (const std::string& path : {games / "Demo.jar", job / "games/DEMO.JAR"}) {
    GameTransaction second(path, {});
    try {
      second.Lock(job.Path());
      ADD_FAILURE() << path << " was locked twice";
    } catch (const GameBusy& e) {
      EXPECT_EQ(e.failure().text, TextId::kGameBusy);
      EXPECT_FALSE(second.Locked());
    }
  }
  EXPECT_THROW(RestoreBackup(games / "Demo.jar", job.Path(), Language()), GameBusy);
  EXPECT_EQ(ReadFile(games / "Demo.jar"), "new jar");
  GameTransaction(games / "Other.jar", {}).Lock(job.Path());

  first.reset();
  EXPECT_NE(RestoreBackup(games / "Demo.jar", job.Path(), Language()), "");
  EXPECT_EQ(ReadFile(games / "Demo.jar"), "old jar");
  // Nothing of the lock is left beside the game.
  EXPECT_EQ(FolderFiles(games), (Files{{"Demo.jar", "old jar"}, {"Other.jar", "other"}}));
}

TEST(GameTransaction, ALockThatCannotBeMadeIsAFailureOfItsOwn) {
  const TempDir games;
  games.Write("Demo.jar", "jar");
  GameTransaction game(games / "Demo.jar", {});
  try {
    game.Lock(games / "no-such-folder");
    ADD_FAILURE() << "locked without a lock file";
  } catch (const GameBusy&) {
    ADD_FAILURE() << "called busy";
  } catch (const JobFailure& e) {
    EXPECT_EQ(e.failure().text, TextId::kCannotLockGame);
  }
}

// A failure in the user's words, and in English for what(): the text with its values, then the
// system's reason, the detail and the cause.
TEST(JobFailure, IsWordedInTheLanguageAsked) {
  Failure nokia{TextId::kNokiaNotUnpacked, {}, 0, {}, nullptr};
  nokia.cause =
      std::make_shared<Failure>(Failure{TextId::kDamagedEntry, {"a/B.class"}, 0, {}, nullptr});
  const JobFailure failure(nokia);
  EXPECT_STREQ(failure.what(),
               "The Nokia compatibility classes could not be unpacked: a/B.class: damaged "
               "(checksum)");
  EXPECT_EQ(FailureText(nokia, Language()),
            "Не удалось распаковать классы совместимости с Nokia: a/B.class: повреждён (не "
            "сходится контрольная сумма)");
  EXPECT_STREQ(
      JobFailure(Failure{TextId::kCannotWriteFile, {"/g/a.jad"}, ENOSPC, "x", nullptr}).what(),
      "Cannot write \"/g/a.jad\": no space left on the disk: x");
  EXPECT_STREQ(JobFailure("This archive is not a valid Zip archive").what(),
               "This archive is not a valid Zip archive");
  EXPECT_EQ(FailureText(JobFailure("engine words").failure(), Language()), "engine words");
}

}  // namespace
}  // namespace korvel

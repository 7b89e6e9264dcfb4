// Tests of message texts, their formatting and lookup, the reporting paths and the settings
// the component normalises.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArchiveTestSupport.h"
#include "archive/ArchiveMessages.h"
#include "archive/ArchiveWorker.h"
#include "archive/Archiver.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

using test::BoxRecorder;

TEST(ArchiveMessages, FormattingFillsPlaceholdersInOrderAndNothingElse) {
  EXPECT_EQ(FormatArchiveText("Skipped %s %d", {"a.txt", "7"}), "Skipped a.txt 7");
  EXPECT_EQ(FormatArchiveText("100%% of %s", {"x"}), "100% of x");
  // Missing arguments and unknown directives never read beyond what was given.
  EXPECT_EQ(FormatArchiveText("%s and %s, %n %x", {"one"}), "one and , %n %x");
  EXPECT_EQ(FormatArchiveText("ends with %", {}), "ends with %");
  EXPECT_EQ(ArchiveFmtLoadStr(kEngineResultCritical, {"-42"}), "critical DLL Error -42");
}

TEST(ArchiveMessages, MissingTextsFallBackToNotesWithTheIdentifier) {
  EXPECT_EQ(
      ArchiveLoadStr(10999),
      "ArchiveMsgXX.res is probably not linked to the executable\nMissing String ID is: 10999 ");
  const std::string note = "\nArchiveMsgXX.res is probably not linked to the executable";
  EXPECT_EQ(EArchiveError(10999).Message(), "id = 10999 " + note);
  EXPECT_EQ(EArchiveError::ForDrive(10998, "Q:\\").Message(), "id = 10998 [drive = Q:\\]" + note);
  EXPECT_EQ(EArchiveError::ForDisk(10997, 3).Message(), "id = 10997 [disk = 3]" + note);
  EXPECT_EQ(EArchiveError::ForDrive(kArchiveInvalidDrive, "1:").Message(), "Not a valid drive: 1:");
  EXPECT_EQ(EArchiveError(kArchiveLoadFailed, "x.so").Message(), "Failed to load x.so");
}

TEST(ArchiveMessages, OnZipStrSuppliesTextsDuringOperations) {
  test::TempDir dir;
  BoxRecorder boxes;
  TArchiver zip;
  std::vector<int> asked;
  zip.OnZipStr = [&](int ident, std::string& text) {
    asked.push_back(ident);
    if (ident == kArchiveNoZipSpecified) text = "Kein Archiv!";
  };
  zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(zip.Extract(), kArchiveNoZipSpecified);
  EXPECT_EQ(boxes.Messages(), std::vector<std::string>{"Kein Archiv!"});
  EXPECT_EQ(asked, std::vector<int>{kArchiveNoZipSpecified});
  // Outside an operation the built-in table answers.
  EXPECT_EQ(ArchiveLoadStr(kArchiveNoZipSpecified), "Error - no zip file specified!");

  // An empty answer leaves the built-in text.
  zip.OnZipStr = [](int, std::string&) {};
  zip.FSpecArgs() = {"*.*"};
  zip.Add();
  EXPECT_EQ(boxes.boxes.back().message, "Error - no zip file specified!");
}

TEST(ArchiveMessages, UnattendedShowsNoBoxButStillReports) {
  BoxRecorder boxes;
  TArchiver zip;
  std::vector<std::pair<int, std::string>> messages;
  zip.OnMessage = [&](int code, const std::string& text) { messages.emplace_back(code, text); };
  zip.SetUnattended(true);
  zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(zip.Extract(), kArchiveNoZipSpecified);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(messages, (std::vector<std::pair<int, std::string>>{
                          {kArchiveNoZipSpecified, "Error - no zip file specified!"}}));
  EXPECT_TRUE(zip.FSpecArgs().empty());
}

TEST(ArchiveMessages, OnZipDialogReplacesTheBoxWhenItAnswers) {
  BoxRecorder boxes;
  TArchiver zip;
  int answer = 0;
  std::vector<std::string> seen;
  zip.OnZipDialog = [&](const std::string&, std::string& msg, int& result, TArchiveBoxButtons) {
    seen.push_back(msg);
    result = answer;
  };
  zip.Add();
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_EQ(boxes.boxes.size(), 1u);  // no answer: the box shows as well
  answer = kArchiveMrOk;
  zip.Add();
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST(ArchiveMessages, DefaultBoxAnswersWithTheFirstButton) {
  SetArchiveUiHooks({});
  TArchiveBoxRequest ok{.Caption = "",
                        .Message = "hello",
                        .Kind = TArchiveBoxKind::kInformation,
                        .Buttons = {TArchiveBoxButton::OK}};
  testing::internal::CaptureStderr();
  EXPECT_EQ(TArchiveBox::Show(ok), kArchiveMrOk);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Korvel: hello\n");
  TArchiveBoxRequest question{.Caption = "Q",
                              .Message = "go?",
                              .Kind = TArchiveBoxKind::kQuestion,
                              .Buttons = {TArchiveBoxButton::Yes, TArchiveBoxButton::No}};
  testing::internal::CaptureStderr();
  EXPECT_EQ(TArchiveBox::Show(question), kArchiveMrYes);
  testing::internal::GetCapturedStderr();
  TArchiveBoxRequest password{.Caption = "Password",
                              .Message = "Enter Password ",
                              .Kind = TArchiveBoxKind::kPassword,
                              .Buttons = {TArchiveBoxButton::OK, TArchiveBoxButton::Cancel}};
  testing::internal::CaptureStderr();
  EXPECT_EQ(TArchiveBox::Show(password), kArchiveMrCancel);
  testing::internal::GetCapturedStderr();
}

TEST(ArchiveMessages, StoreSuffixesAreNormalised) {
  EXPECT_EQ(NormalizeStoreSuffixes("Abc;.def"), ".abc:.def:");
  EXPECT_EQ(NormalizeStoreSuffixes(" MP3 , .Ogg:wav;;"), ".mp3:.ogg:.wav:");
  EXPECT_EQ(NormalizeStoreSuffixes(""), "");
  EXPECT_EQ(StoreSuffixList(DefaultStoreSuffixes(), ""),
            ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha:.rar:.ace:.cab:.gz:.gzip:.jar");
  AddStoreExts some{AddStoreSuffixEnum::assPNG, AddStoreSuffixEnum::assEXE,
                    AddStoreSuffixEnum::assEXT};
  EXPECT_EQ(StoreSuffixList(some, ".abc:.def:"), ".png:.exe:.abc:.def");
  EXPECT_EQ(StoreSuffixList({}, ".abc:"), "");
  EXPECT_EQ(StoreSuffixList({AddStoreSuffixEnum::assEXT}, ""), "");
}

TEST(ArchiveMessages, WaitCursorIsShownOnceAndRestored) {
  test::TempDir dir;
  std::vector<bool> cursor;
  TArchiveUiHooks hooks;
  hooks.SetWaitCursor = [&](bool wait) { cursor.push_back(wait); };
  SetArchiveUiHooks(hooks);
  TArchiver zip;
  zip.SetZipFileName(dir.Write("a.zip", test::MakeZip({{.name = "a", .data = "1"}})));
  EXPECT_EQ(zip.Count(), 1);
  EXPECT_EQ(cursor, (std::vector<bool>{true, false}));
  SetArchiveUiHooks({});
}

TEST(ArchiveMessages, PasswordRequestCountIsCapped) {
  TArchiver zip;
  zip.SetPasswordReqCount(20);
  EXPECT_EQ(zip.PasswordReqCount(), 15u);
  zip.SetPasswordReqCount(3);
  EXPECT_EQ(zip.PasswordReqCount(), 3u);
}

}  // namespace
}  // namespace korvel

// Tests of message texts, their formatting and lookup, the reporting paths and the settings
// the component normalises.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArchiveTestSupport.h"
#include "archive/ZipMsg.h"
#include "archive/ZipMstr.h"
#include "archive/ZipWrkr.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

using test::BoxRecorder;

TEST(ZipMessages, FormattingFillsPlaceholdersInOrderAndNothingElse) {
  EXPECT_EQ(FormatZipText("Skipped %s %d", {"a.txt", "7"}), "Skipped a.txt 7");
  EXPECT_EQ(FormatZipText("100%% of %s", {"x"}), "100% of x");
  // Missing arguments and unknown directives never read beyond what was given.
  EXPECT_EQ(FormatZipText("%s and %s, %n %x", {"one"}), "one and , %n %x");
  EXPECT_EQ(FormatZipText("ends with %", {}), "ends with %");
  EXPECT_EQ(ZipFmtLoadStr(kZipDllCritical, {"-42"}), "critical DLL Error -42");
}

TEST(ZipMessages, MissingTextsFallBackToNotesWithTheIdentifier) {
  EXPECT_EQ(ZipLoadStr(10999),
            "ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: 10999 ");
  const std::string note = "\nZipMsgXX.res is probably not linked to the executable";
  EXPECT_EQ(EZipMaster(10999).Message(), "id = 10999 " + note);
  EXPECT_EQ(EZipMaster::ForDrive(10998, "Q:\\").Message(), "id = 10998 [drive = Q:\\]" + note);
  EXPECT_EQ(EZipMaster::ForDisk(10997, 3).Message(), "id = 10997 [disk = 3]" + note);
  EXPECT_EQ(EZipMaster::ForDrive(kZipInvalidDrive, "1:").Message(), "Not a valid drive: 1:");
  EXPECT_EQ(EZipMaster(kZipLoadFailed, "x.so").Message(), "Failed to load x.so");
}

TEST(ZipMessages, OnZipStrSuppliesTextsDuringOperations) {
  test::TempDir dir;
  BoxRecorder boxes;
  TZipMaster zip;
  std::vector<int> asked;
  zip.OnZipStr = [&](int ident, std::string& text) {
    asked.push_back(ident);
    if (ident == kZipNoZipSpecified) text = "Kein Archiv!";
  };
  zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(zip.Extract(), kZipNoZipSpecified);
  EXPECT_EQ(boxes.Messages(), std::vector<std::string>{"Kein Archiv!"});
  EXPECT_EQ(asked, std::vector<int>{kZipNoZipSpecified});
  // Outside an operation the built-in table answers.
  EXPECT_EQ(ZipLoadStr(kZipNoZipSpecified), "Error - no zip file specified!");

  // An empty answer leaves the built-in text.
  zip.OnZipStr = [](int, std::string&) {};
  zip.FSpecArgs() = {"*.*"};
  zip.Add();
  EXPECT_EQ(boxes.boxes.back().message, "Error - no zip file specified!");
}

TEST(ZipMessages, UnattendedShowsNoBoxButStillReports) {
  BoxRecorder boxes;
  TZipMaster zip;
  std::vector<std::pair<int, std::string>> messages;
  zip.OnMessage = [&](int code, const std::string& text) { messages.emplace_back(code, text); };
  zip.SetUnattended(true);
  zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(zip.Extract(), kZipNoZipSpecified);
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(messages, (std::vector<std::pair<int, std::string>>{
                          {kZipNoZipSpecified, "Error - no zip file specified!"}}));
  EXPECT_TRUE(zip.FSpecArgs().empty());
}

TEST(ZipMessages, OnZipDialogReplacesTheBoxWhenItAnswers) {
  BoxRecorder boxes;
  TZipMaster zip;
  int answer = 0;
  std::vector<std::string> seen;
  zip.OnZipDialog = [&](const std::string&, std::string& msg, int& result, TZipDlgButtons) {
    seen.push_back(msg);
    result = answer;
  };
  zip.Add();
  EXPECT_EQ(seen.size(), 1u);
  EXPECT_EQ(boxes.boxes.size(), 1u);  // no answer: the box shows as well
  answer = kZipMrOk;
  zip.Add();
  EXPECT_EQ(seen.size(), 2u);
  EXPECT_EQ(boxes.boxes.size(), 1u);
}

TEST(ZipMessages, DefaultBoxAnswersWithTheFirstButton) {
  SetZipUiHooks({});
  TZipDialogRequest ok{.Caption = "",
                       .Message = "hello",
                       .Kind = TZipDlgKind::kInformation,
                       .Buttons = {TZipDlgButton::OK}};
  testing::internal::CaptureStderr();
  EXPECT_EQ(TZipDialogBox::Show(ok), kZipMrOk);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Korvel: hello\n");
  TZipDialogRequest question{.Caption = "Q",
                             .Message = "go?",
                             .Kind = TZipDlgKind::kQuestion,
                             .Buttons = {TZipDlgButton::Yes, TZipDlgButton::No}};
  testing::internal::CaptureStderr();
  EXPECT_EQ(TZipDialogBox::Show(question), kZipMrYes);
  testing::internal::GetCapturedStderr();
  TZipDialogRequest password{.Caption = "Password",
                             .Message = "Enter Password ",
                             .Kind = TZipDlgKind::kPassword,
                             .Buttons = {TZipDlgButton::OK, TZipDlgButton::Cancel}};
  testing::internal::CaptureStderr();
  EXPECT_EQ(TZipDialogBox::Show(password), kZipMrCancel);
  testing::internal::GetCapturedStderr();
}

TEST(ZipMessages, StoreSuffixesAreNormalised) {
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

TEST(ZipMessages, WaitCursorIsShownOnceAndRestored) {
  test::TempDir dir;
  std::vector<bool> cursor;
  TZipUiHooks hooks;
  hooks.SetWaitCursor = [&](bool wait) { cursor.push_back(wait); };
  SetZipUiHooks(hooks);
  TZipMaster zip;
  zip.SetZipFileName(dir.Write("a.zip", test::MakeZip({{.name = "a", .data = "1"}})));
  EXPECT_EQ(zip.Count(), 1);
  EXPECT_EQ(cursor, (std::vector<bool>{true, false}));
  SetZipUiHooks({});
}

TEST(ZipMessages, PasswordRequestCountIsCapped) {
  TZipMaster zip;
  zip.SetPasswordReqCount(20);
  EXPECT_EQ(zip.PasswordReqCount(), 15u);
  zip.SetPasswordReqCount(3);
  EXPECT_EQ(zip.PasswordReqCount(), 3u);
}

}  // namespace
}  // namespace korvel

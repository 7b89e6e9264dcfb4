// Profile (INI) files: the reading rules of the Windows profile services and writes that keep
// the rest of the file.
#include "platform/Profile.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <functional>

#include "platform/FileError.h"
#include "platform/Files.h"
#include "support/TempDir.h"
#include "support/TestData.h"

namespace korvel::platform {
namespace {

using test::ErrorText;
using test::ReadFile;
using test::TempDir;

// The reading rules, one file and one lookup a row.
TEST(Profile, ReadsAsTheWindowsProfileServicesDo) {
  struct Case {
    const char* file;  // nullptr: no file
    const char* section;
    const char* key;
    const char* fallback;
    const char* expected;
  };
  const char* const blanks =
      "  [Korvel]  \r\n\tMidway =  /opt/midway/run  \r\nA=\"quoted value\"\r\nB='single'\r\n"
      "C=\"unbalanced\r\nD=\"\r\nE=\"mixed'\r\nF=\r\nG\r\nH = a = b\r\n";
  const char* const repeated =
      "Stray=before any section\n[Main]\nExit=one\nexit=two\n[Other]\nStray=other\n"
      "[main]\nExit=three\nAbout=later\n";
  const Case cases[] = {
      {nullptr, "Korvel", "Midway", "dflt", "dflt"},
      {"[Korvel]\nResW=300\n", "Other", "ResW", "x", "x"},
      {"[Korvel]\nResW=300\n", "Korvel", "ResH", "x", "x"},
      {"[Korvel]\nResW=300\n", "Korvel", "ResW", "x", "300"},
      // The default loses trailing spaces, as the Windows function's does.
      {"[Korvel]\nResW=300\n", "Korvel", "ResH", "  x  ", "  x"},
      // Sections and keys ignore letter case.
      {"[KORVEL]\nresw=200\n", "Korvel", "ResW", "", "200"},
      {"[KORVEL]\nresw=200\n", "korvel", "RESW", "", "200"},
      // Blanks around names and values go, as do matching quotes around a value.
      {blanks, "Korvel", "Midway", "", "/opt/midway/run"},
      {blanks, " Korvel ", " Midway ", "", "/opt/midway/run"},
      {blanks, "Korvel", "A", "", "quoted value"},
      {blanks, "Korvel", "B", "", "single"},
      {blanks, "Korvel", "C", "", "\"unbalanced"},
      {blanks, "Korvel", "D", "", "\""},
      {blanks, "Korvel", "E", "", "\"mixed'"},
      // An empty value is a value; a line without "=" gives the default.
      {blanks, "Korvel", "F", "dflt", ""},
      {blanks, "Korvel", "G", "dflt", "dflt"},
      {blanks, "Korvel", "H", "", "a = b"},
      // The first section and the first key of a name win; only the first "Main" is consulted.
      {repeated, "Main", "Exit", "", "one"},
      {repeated, "Main", "About", "dflt", "dflt"},
      {repeated, "Other", "Stray", "", "other"},
      // Lines end at LF, CR LF or a lone CR.
      {"[S]\rA=1\rB=2\n[T]\r\nC=3", "S", "A", "", "1"},
      {"[S]\rA=1\rB=2\n[T]\r\nC=3", "S", "B", "", "2"},
      {"[S]\rA=1\rB=2\n[T]\r\nC=3", "T", "C", "", "3"},
  };
  TempDir dir;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.section) + "/" + c.key);
    const std::string ini = c.file ? dir.Write("a.ini", c.file) : dir / "none.ini";
    EXPECT_EQ(ReadProfileString(ini, c.section, c.key, c.fallback), c.expected);
  }
  // A folder is no profile file.
  EXPECT_EQ(ReadProfileString(dir.Path(), "Korvel", "ResW", "d"), "d");
}

TEST(Profile, AUtf8ByteOrderMarkIsNotPartOfTheFirstLine) {
  TempDir dir;
  const std::string with_bom = dir.Write("bom.lng", "\xEF\xBB\xBF[General]\nOk=\xD0\x94\xD0\xB0\n");
  const std::string without = dir.Write("plain.lng", "[General]\nOk=Yes\n");
  EXPECT_TRUE(ProfileFile(with_bom).HasUtf8Bom());
  EXPECT_FALSE(ProfileFile(without).HasUtf8Bom());
  EXPECT_EQ(ReadProfileString(with_bom, "General", "Ok", ""), "\xD0\x94\xD0\xB0");
}

TEST(Profile, WritingCreatesAMissingFile) {
  TempDir dir;
  const std::string ini = dir / "new.ini";
  WriteProfileString(ini, "Korvel", "Backup", "0");
  WriteProfileString(ini, "Korvel", "Midway", "");
  EXPECT_EQ(ReadFile(ini), "[Korvel]\nBackup=0\nMidway=\n");
}

TEST(Profile, WritingAKeyKeepsTheRestOfTheFile) {
  TempDir dir;
  const std::string original =
      "; written by hand\r\n"
      "[Other]\r\n"
      "Keep=this\r\n"
      "\r\n"
      "[korvel]\r\n"
      "  RESW = 300 \r\n"
      "Unknown=kept\r\n"
      "\r\n"
      "[Last]\r\n"
      "X=1\r\n";
  const std::string ini = dir.Write("a.ini", original);

  // An existing key keeps its spelling and its place.
  WriteProfileString(ini, "Korvel", "ResW", "128");
  // A new key goes after the section's last line, before the blank line.
  WriteProfileString(ini, "Korvel", "ResH", "116");
  // A new section goes at the end, after a blank line, with the file's line break.
  WriteProfileString(ini, "New", "Key", "  value");
  EXPECT_EQ(ReadFile(ini),
            "; written by hand\r\n"
            "[Other]\r\n"
            "Keep=this\r\n"
            "\r\n"
            "[korvel]\r\n"
            "RESW=128\r\n"
            "Unknown=kept\r\n"
            "ResH=116\r\n"
            "\r\n"
            "[Last]\r\n"
            "X=1\r\n"
            "\r\n"
            "[New]\r\n"
            "Key=value\r\n");
}

TEST(Profile, WritingIntoAFileWithoutAFinalLineBreak) {
  TempDir dir;
  const std::string ini = dir.Write("a.ini", "[Korvel]\nJad=1");
  WriteProfileString(ini, "Korvel", "Nokia", "1");
  EXPECT_EQ(ReadFile(ini), "[Korvel]\nJad=1\nNokia=1");
  WriteProfileString(ini, "Other", "A", "b");
  EXPECT_EQ(ReadFile(ini), "[Korvel]\nJad=1\nNokia=1\n\n[Other]\nA=b\n");
}

TEST(Profile, AKeyLineWithoutEqualsSignTakesTheValue) {
  TempDir dir;
  const std::string ini = dir.Write("a.ini", "[Korvel]\nJad\n");
  WriteProfileString(ini, "Korvel", "jad", "0");
  EXPECT_EQ(ReadFile(ini), "[Korvel]\nJad=0\n");
}

TEST(Profile, AValueCannotCarryALineBreakIntoTheFile) {
  TempDir dir;
  const std::string ini = dir / "a.ini";
  WriteProfileString(ini, "Korvel", "Midway", "/tmp/odd\n[Evil]\nX=1");
  EXPECT_EQ(ReadFile(ini), "[Korvel]\nMidway=/tmp/odd\n");
}

TEST(Profile, ManyWritesInMemoryReachTheFileInOneSave) {
  TempDir dir;
  const std::string ini = dir.Write("a.ini", "[Korvel]\nA=1\n");
  ProfileFile file(ini);
  file.WriteString("Korvel", "A", "2");
  file.WriteString("Korvel", "B", "3");
  EXPECT_EQ(file.ReadString("Korvel", "B", ""), "3");
  EXPECT_EQ(ReadFile(ini), "[Korvel]\nA=1\n");
  file.Save();
  EXPECT_EQ(ReadFile(ini), "[Korvel]\nA=2\nB=3\n");
}

TEST(Profile, AReadOnlyFileIsUnwritableAndStaysAsItWas) {
  TempDir dir;
  const std::string ini = dir.Write("korvel.ini", "[Korvel]\nResW=300\n");
  ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
  // Refused for the super-user too, who could otherwise write it.
  EXPECT_EQ(ErrorText([&] { WriteProfileString(ini, "Korvel", "ResW", "128"); }),
            "Unable to write to " + ini);
  EXPECT_EQ(ReadFile(ini), "[Korvel]\nResW=300\n");
  EXPECT_EQ(ReadProfileString(ini, "Korvel", "ResW", ""), "300");
}

TEST(Profile, AFileInAMissingFolderIsUnwritable) {
  TempDir dir;
  const std::string ini = dir / "missing/korvel.ini";
  EXPECT_EQ(ErrorText([&] { WriteProfileString(ini, "Korvel", "ResW", "128"); }),
            "Unable to write to " + ini);
  EXPECT_FALSE(FileExists(ini));
}

TEST(Profile, TheMessageNamesTheFullPath) {
  TempDir dir;
  const std::string before = CurrentDirectory();
  SetCurrentDirectory(dir.Path());
  const std::string folder = CurrentDirectory();
  dir.Write("ro.ini", "[Korvel]\n");
  ::chmod((dir / "ro.ini").c_str(), 0444);
  const std::string message = ErrorText([] { WriteProfileString("ro.ini", "Korvel", "A", "1"); });
  SetCurrentDirectory(before);
  EXPECT_EQ(message, "Unable to write to " + JoinPath(folder, "ro.ini"));
}

}  // namespace
}  // namespace korvel::platform

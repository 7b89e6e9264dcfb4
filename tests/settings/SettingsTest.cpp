// The settings file: defaults, the edge cases of reading, the exact lines of a new file, and
// saving into a file that holds more than the program's section.
#include "settings/Settings.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <functional>

#include "platform/FileError.h"
#include "platform/Files.h"
#include "support/TempDir.h"
#include "support/TestData.h"

namespace korvel {
namespace {

using test::ErrorText;
using test::ReadFile;
using test::TempDir;

constexpr std::string_view kDefaultFile =
    "[Korvel]\n"
    "Backup=0\n"
    "Jad=1\n"
    "Nokia=1\n"
    "FilterAttr=1\n"
    "ResW=128\n"
    "ResH=116\n"
    "AskMidway=1\n"
    "Midway=\n"
    "ConfirmDrop=1\n"
    "LangFile=\n";

TEST(Settings, NoFileGivesTheDefaultsAndCreatesNothing) {
  TempDir dir;
  const std::string ini = dir / "korvel.ini";
  const Settings s = LoadSettings(ini);
  EXPECT_FALSE(s.Backup);
  EXPECT_TRUE(s.Nokia);
  EXPECT_TRUE(s.Jad);
  EXPECT_TRUE(s.FilterAttr);
  EXPECT_TRUE(s.AskMidway);
  EXPECT_TRUE(s.ConfirmDrop);
  EXPECT_EQ(s.Midway, "");
  EXPECT_EQ(s.LangFile, "");
  EXPECT_EQ(s.ResW, 128);
  EXPECT_EQ(s.ResH, 116);
  EXPECT_EQ(s, Settings());
  EXPECT_FALSE(platform::FileExists(ini));
}

TEST(Settings, AFileWithoutTheSectionGivesTheDefaults) {
  TempDir dir;
  EXPECT_EQ(LoadSettings(dir.Write("korvel.ini", "[Other]\nResW=5\nBackup=1\n")), Settings());
  EXPECT_EQ(LoadSettings(dir.Write("empty.ini", "")), Settings());
}

TEST(Settings, OutOfRangeResolutionIsReadAsItIs) {
  TempDir dir;
  const Settings s = LoadSettings(dir.Write("korvel.ini", "[Korvel]\nResW=300\nResH=-4\n"));
  EXPECT_EQ(s.ResW, 300);
  EXPECT_EQ(s.ResH, -4);
}

TEST(Settings, BooleansAreReadAsIntegers) {
  TempDir dir;
  EXPECT_TRUE(LoadSettings(dir.Write("a.ini", "[Korvel]\nJad=yes\n")).Jad);  // default on
  EXPECT_TRUE(LoadSettings(dir.Write("b.ini", "[Korvel]\nJad=2\n")).Jad);
  EXPECT_FALSE(LoadSettings(dir.Write("c.ini", "[Korvel]\nJad=0\n")).Jad);
  EXPECT_TRUE(LoadSettings(dir.Write("d.ini", "[Korvel]\nJad=-1\n")).Jad);
  EXPECT_TRUE(LoadSettings(dir.Write("e.ini", "[Korvel]\nJad=\n")).Jad);
  EXPECT_FALSE(LoadSettings(dir.Write("f.ini", "[Korvel]\nBackup=yes\n")).Backup);  // default off
  EXPECT_TRUE(LoadSettings(dir.Write("g.ini", "[Korvel]\nBackup=$10\n")).Backup);
  EXPECT_FALSE(LoadSettings(dir.Write("h.ini", "[Korvel]\nNokia=0x0\n")).Nokia);
}

TEST(Settings, IntegersInHexadecimal) {
  TempDir dir;
  const Settings s = LoadSettings(dir.Write("korvel.ini", "[Korvel]\nResW=$F0\nResH=0x80\n"));
  EXPECT_EQ(s.ResW, 240);
  EXPECT_EQ(s.ResH, 128);
  const Settings bad = LoadSettings(dir.Write("bad.ini", "[Korvel]\nResW=12px\nResH=\n"));
  EXPECT_EQ(bad.ResW, 128);
  EXPECT_EQ(bad.ResH, 116);
}

TEST(Settings, KeysIgnoreLetterCaseAndBlanks) {
  TempDir dir;
  const Settings s = LoadSettings(
      dir.Write("korvel.ini", "[KORVEL]\r\n  resw = 64 \r\nmidway = \"/opt/m w\"\r\n"));
  EXPECT_EQ(s.ResW, 64);
  EXPECT_EQ(s.Midway, "/opt/m w");
}

TEST(Settings, StringsAreCutAt2047Characters) {
  TempDir dir;
  const std::string long_path = "/" + std::string(3000, 'p');
  const Settings s = LoadSettings(
      dir.Write("korvel.ini", "[Korvel]\nMidway=" + long_path + "\nLangFile=" + long_path + "\n"));
  EXPECT_EQ(s.Midway, long_path.substr(0, 2047));
  EXPECT_EQ(s.LangFile, long_path.substr(0, 2047));
}

TEST(Settings, ANewFileHoldsExactlyTheLinesOfThePart) {
  TempDir dir;
  const std::string ini = dir / "korvel.ini";
  SaveSettings(Settings(), ini);
  EXPECT_EQ(ReadFile(ini), kDefaultFile);
}

TEST(Settings, SaveThenLoadGivesTheSameRecord) {
  TempDir dir;
  const std::string ini = dir / "korvel.ini";
  Settings s;
  s.Backup = true;
  s.Nokia = false;
  s.Jad = false;
  s.FilterAttr = false;
  s.AskMidway = false;
  s.ConfirmDrop = false;
  s.Midway = "/opt/MIDway tools/Мидвей";
  s.LangFile = dir / "English.lng";
  s.ResW = 176;
  s.ResH = -3;
  s.HandsetKeys = ParseKeyLayout("1-4");
  SaveSettings(s, ini);
  // A size out of range is written as the one a job uses.
  EXPECT_EQ(LoadSettings(ini), CorrectedSettings(s));
  EXPECT_EQ(CorrectedSettings(s).ResH, 116);
  EXPECT_EQ(ReadFile(ini),
            "[Korvel]\nBackup=1\nJad=0\nNokia=0\nFilterAttr=0\nResW=176\nResH=116\n"
            "AskMidway=0\nMidway=/opt/MIDway tools/Мидвей\nConfirmDrop=0\nLangFile=" +
                s.LangFile + "\nHandsetKeys=1-4\n");

  // Saving again over the file changes the values in place; no layout is then written too.
  SaveSettings(Settings(), ini);
  EXPECT_EQ(ReadFile(ini), std::string(kDefaultFile) + "HandsetKeys=none\n");
  EXPECT_EQ(LoadSettings(ini), Settings());
  // A layout that is none of the accepted ones reads as none.
  dir.Write("korvel.ini", "[Korvel]\nHandsetKeys=7-6\n");
  EXPECT_EQ(LoadSettings(ini).HandsetKeys, std::nullopt);
}

TEST(Settings, OtherSectionsAndKeysArePreserved) {
  TempDir dir;
  const std::string ini = dir.Write("korvel.ini",
                                    "[Window]\r\n"
                                    "Left=10\r\n"
                                    "\r\n"
                                    "[Korvel]\r\n"
                                    "ResW=300\r\n"
                                    "Comment=mine\r\n"
                                    "Jad=yes\r\n"
                                    "\r\n"
                                    "[Tail]\r\n"
                                    "Z=1\r\n");
  Settings s = LoadSettings(ini);
  s.ResW = 128;
  SaveSettings(s, ini);
  EXPECT_EQ(ReadFile(ini),
            "[Window]\r\n"
            "Left=10\r\n"
            "\r\n"
            "[Korvel]\r\n"
            "ResW=128\r\n"
            "Comment=mine\r\n"
            "Jad=1\r\n"
            "Backup=0\r\n"
            "Nokia=1\r\n"
            "FilterAttr=1\r\n"
            "ResH=116\r\n"
            "AskMidway=1\r\n"
            "Midway=\r\n"
            "ConfirmDrop=1\r\n"
            "LangFile=\r\n"
            "\r\n"
            "[Tail]\r\n"
            "Z=1\r\n");
}

TEST(Settings, AnUnwritableFileRaisesTheMessageAndKeepsItsContent) {
  TempDir dir;
  const std::string ini = dir.Write("korvel.ini", "[Korvel]\nResW=300\n");
  ASSERT_EQ(::chmod(ini.c_str(), 0444), 0);
  Settings s;
  s.Backup = true;
  EXPECT_EQ(ErrorText([&] { SaveSettings(s, ini); }), "Unable to write to " + ini);
  EXPECT_EQ(ReadFile(ini), "[Korvel]\nResW=300\n");

  const std::string no_folder = dir / "gone/korvel.ini";
  EXPECT_EQ(ErrorText([&] { SaveSettings(s, no_folder); }), "Unable to write to " + no_folder);
}

TEST(Settings, TheSettingsFileSitsInTheProgramDirectory) {
  EXPECT_EQ(DefaultSettingsPath(),
            platform::JoinPath(platform::ExecutableDirectory(), "korvel.ini"));
  EXPECT_EQ(platform::FileNamePart(DefaultSettingsPath()), "korvel.ini");
}

}  // namespace
}  // namespace korvel

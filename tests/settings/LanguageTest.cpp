// The Language table: built-in texts, language files in Windows-1251 and UTF-8, Display names,
// the caption list, and the English file the program ships.
#include "settings/Language.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <vector>

#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

using test::ReadFile;
using test::TempDir;

constexpr std::string_view kUtf8Bom = "\xEF\xBB\xBF";

std::string Cp1251(std::string_view utf8) {
  return platform::FromUtf8(utf8, platform::CodePage::kWindows1251);
}

// A language file (UTF-8 text here) that gives every entry a Russian text of its own.
std::string FullFileText() {
  std::string text = "[Korvel Language File]\nName=Проверка\n";
  // Each section once, as a language file has it, though the table comes back to some.
  std::vector<std::string_view> sections;
  for (const LanguageEntry& e : kLanguageTable) {
    if (std::find(sections.begin(), sections.end(), e.section) == sections.end())
      sections.push_back(e.section);
  }
  for (std::string_view section : sections) {
    text += "[" + std::string(section) + "]\n";
    for (const LanguageEntry& e : kLanguageTable) {
      if (e.section == section)
        text += std::string(e.key) + "=Ключ " + std::string(e.key) + " ёЁ №\n";
    }
  }
  return text;
}

void ExpectBuiltIn(const Language& language, std::size_t except_from = 0,
                   std::size_t except_to = 0) {
  for (std::size_t i = 0; i < kLanguageTextCount; ++i) {
    if (i >= except_from && i < except_to) continue;
    EXPECT_EQ(language.Text(static_cast<TextId>(i)), kLanguageTable[i].built_in)
        << kLanguageTable[i].section << "/" << kLanguageTable[i].key;
  }
}

// Language files name their texts by section and key, so no key may stand twice.
TEST(LanguageTable, KeysAreUnique) {
  std::set<std::string_view> keys;
  for (const LanguageEntry& e : kLanguageTable) EXPECT_TRUE(keys.insert(e.key).second) << e.key;
}

TEST(Language, BuiltInTextsAreRussian) {
  const Language language;
  ExpectBuiltIn(language);
  EXPECT_EQ(language[TextId::kCancel], "Отмена");
  EXPECT_EQ(language[TextId::kPatchJar], "Исправить Jar...");
  EXPECT_EQ(language[TextId::kFilesPatchedCount], "Исправлено классов:");
  EXPECT_EQ(language[TextId::kJarNotCreated], "Jar не был создан :(");
  EXPECT_EQ(language[TextId::kBatch], "Пакет");
  EXPECT_EQ(language[TextId::kDragDrop], "Drag&&Drop");
  EXPECT_EQ(language[TextId::kConfirmDrop], "Подтверждать принятие файла");
}

TEST(Language, EmptyPathOrMissingFileGivesTheBuiltInTexts) {
  TempDir dir;
  ExpectBuiltIn(Language::FromFile(""));
  ExpectBuiltIn(Language::FromFile(dir / "missing.lng"));
  ExpectBuiltIn(Language::FromFile(dir.Write("empty.lng", "")));
}

TEST(Language, Windows1251AndUtf8FilesGiveTheSameTexts) {
  TempDir dir;
  const std::string text = FullFileText();
  const Language from_1251 = Language::FromFile(dir.Write("ru1251.lng", Cp1251(text)));
  const Language from_utf8 =
      Language::FromFile(dir.Write("ruutf8.lng", std::string(kUtf8Bom) + text));
  for (std::size_t i = 0; i < kLanguageTextCount; ++i) {
    const auto id = static_cast<TextId>(i);
    const std::string expected = "Ключ " + std::string(kLanguageTable[i].key) + " ёЁ №";
    EXPECT_EQ(from_1251[id], expected);
    EXPECT_EQ(from_utf8[id], expected);
  }
  EXPECT_EQ(LanguageDisplayName(dir / "ru1251.lng"), "Проверка");
  EXPECT_EQ(LanguageDisplayName(dir / "ruutf8.lng"), "Проверка");
}

TEST(Language, AFileWithOnlyGeneralChangesItsFourTexts) {
  TempDir dir;
  const Language language = Language::FromFile(dir.Write(
      "general.lng", "[General]\r\nOk=Fine\r\nCancel=Back\r\nClose=Shut\r\nStop=Halt\r\n"));
  EXPECT_EQ(language[TextId::kOk], "Fine");
  EXPECT_EQ(language[TextId::kCancel], "Back");
  EXPECT_EQ(language[TextId::kClose], "Shut");
  EXPECT_EQ(language[TextId::kStop], "Halt");
  ExpectBuiltIn(language, 0, 4);
}

TEST(Language, AnEmptyValueGivesAnEmptyTextAndAMissingKeyTheBuiltIn) {
  TempDir dir;
  const Language language =
      Language::FromFile(dir.Write("partial.lng", "[Main]\nExit=\nAbout\n[options]\npixels=px\n"));
  EXPECT_EQ(language[TextId::kExit], "");
  EXPECT_EQ(language[TextId::kAbout], "О программе");  // a line without "=" has no value
  EXPECT_EQ(language[TextId::kPixels], "px");
  EXPECT_EQ(language[TextId::kOptions], "Настройки");
}

TEST(Language, LongValuesAreCutTo2047Characters) {
  TempDir dir;
  std::string zhe;
  for (int i = 0; i < 3000; ++i) zhe += "Ж";
  std::string expected;
  for (int i = 0; i < 2047; ++i) expected += "Ж";
  const std::string text = "[Main]\nExit=" + zhe + "\n";
  EXPECT_EQ(Language::FromFile(dir.Write("a.lng", Cp1251(text)))[TextId::kExit], expected);
  EXPECT_EQ(Language::FromFile(dir.Write("b.lng", std::string(kUtf8Bom) + text))[TextId::kExit],
            expected);
}

TEST(Language, LoadingAgainReplacesEveryText) {
  TempDir dir;
  Language language;
  language.Load(dir.Write("a.lng", "[Main]\nExit=Quit\n"));
  EXPECT_EQ(language[TextId::kExit], "Quit");
  language.Load(dir.Write("b.lng", "[Main]\nAbout=Info\n"));
  EXPECT_EQ(language[TextId::kExit], "Выход");
  EXPECT_EQ(language[TextId::kAbout], "Info");
  language.Load("");
  ExpectBuiltIn(language);
}

TEST(Language, FindsTextsBySectionAndKey) {
  const Language language;
  ASSERT_NE(language.Find("main", "PATCHJAR"), nullptr);
  EXPECT_EQ(*language.Find("Main", "PatchJar"), "Исправить Jar...");
  EXPECT_EQ(language.Find("Main", "Ok"), nullptr);
  EXPECT_EQ(language.Find("Korvel Language File", "Name"), nullptr);
}

struct FormatCase {
  std::string_view text;
  std::vector<std::string> args;
  std::string expected;
};

TEST(FormatText, PlacesValuesAndBreaksLines) {
  for (const FormatCase& c : {
           FormatCase{"%1 and %2 restored", {"a.jar", "a.jad"}, "a.jar and a.jad restored"},
           FormatCase{"%2 before %1", {"x", "y"}, "y before x"},
           FormatCase{"%1: %3", {"x"}, "x: "},  // a missing value is nothing
           FormatCase{"100%% of %1%", {"y"}, "100% of y%"},
           FormatCase{"%1\\nread-only", {"/g/a.jar"}, "/g/a.jar\nread-only"},
           FormatCase{"%1", {"%2 50%%\\n"}, "%2 50%%\\n"},  // values are not read again
       }) {
    EXPECT_EQ(FormatText(c.text, c.args), c.expected) << c.text;
  }
}

// The texts that have English in the table: the Russian one places the same values and breaks
// its lines as often, and is Russian.
TEST(LanguageTable, FailureTextsPlaceTheSameValuesInBothLanguages) {
  const auto marks = [](std::string_view text) {
    std::multiset<std::string_view> found;
    for (std::size_t i = 0; i + 1 < text.size(); ++i) {
      if ((text[i] == '%' || text[i] == '\\') && text[i + 1] != ' ') {
        found.insert(text.substr(i, 2));
      }
    }
    return found;
  };
  std::size_t with_english = 0;
  for (const LanguageEntry& e : kLanguageTable) {
    if (e.english.empty()) continue;
    ++with_english;
    EXPECT_EQ(marks(e.built_in), marks(e.english)) << e.key;
    EXPECT_NE(e.built_in.find("\xD0"), std::string_view::npos) << e.key;  // Cyrillic
  }
  EXPECT_EQ(with_english,
            kLanguageTextCount - static_cast<std::size_t>(TextId::kAnotherJobRunning));
  EXPECT_EQ(Language::English()[TextId::kNoBackup],
            "There is no backup %1 beside the JAR; nothing was restored.");
  EXPECT_EQ(Language::English()[TextId::kExit], "Выход");  // no English in the table
}

TEST(LanguageDisplayName, DefaultNameOrFileName) {
  TempDir dir;
  EXPECT_EQ(LanguageDisplayName(""), "<Default>");
  EXPECT_EQ(LanguageDisplayName(dir.Write("Deutsch.lng", "[General]\nOk=OK\n")), "Deutsch");
  EXPECT_EQ(LanguageDisplayName(dir / "Missing.v2.lng"), "Missing.v2");
  EXPECT_EQ(LanguageDisplayName(dir.Write("Blank.lng", "[Korvel Language File]\nName=\n")),
            "Blank");
  EXPECT_EQ(
      LanguageDisplayName(dir.Write("ua.lng", Cp1251("[korvel language file]\nname=Українська\n"))),
      "Українська");
}

TEST(LanguageCaptions, TitlesAndGaugeFormatsComeFromTheirTexts) {
  const Language language;
  auto caption = [&](LanguageWindow window, std::string_view control) {
    for (const LanguageCaption& c : kLanguageCaptions) {
      if (c.window == window && c.control == control) return CaptionText(c, language);
    }
    return std::string("(no caption)");
  };
  EXPECT_EQ(caption(LanguageWindow::kBatch, kWindowTitle), "Пакетная обработка");
  EXPECT_EQ(caption(LanguageWindow::kBatch, "gBatch"), "Пакет: %d%%");
  EXPECT_EQ(caption(LanguageWindow::kBatch, "btnCancel"), "Закрыть");
  EXPECT_EQ(caption(LanguageWindow::kOptions, "btnCancel"), "Отмена");
}

// The shipped English file: every key present, translated and plain ASCII, nothing unknown.
TEST(EnglishLanguageFile, TranslatesEveryText) {
  const std::string path = platform::JoinPath(KORVEL_LANG_SOURCE_DIR, "English.lng");
  const platform::ProfileFile file(path);
  EXPECT_EQ(LanguageDisplayName(path), "English");
  for (const LanguageEntry& e : kLanguageTable) {
    const auto value = file.Find(e.section, e.key);
    ASSERT_TRUE(value.has_value()) << e.section << "/" << e.key;
    EXPECT_FALSE(value->empty()) << e.section << "/" << e.key;
    if (!e.english.empty()) {
      EXPECT_EQ(*value, e.english) << e.key;
    }
    for (const char c : *value) EXPECT_TRUE(c >= 0x20 && c < 0x7F) << e.key;
  }
  const Language english = Language::FromFile(path);
  EXPECT_EQ(english[TextId::kPatchJar], "Patch JAR...");
  EXPECT_EQ(CaptionText(kLanguageCaptions[10], english), "Batch: %d%%");

  // Every key line of the file belongs to the table (or is the header's Name).
  std::string section;
  std::size_t keys = 0;
  const std::string text = ReadFile(path);
  std::size_t pos = 0;
  while (pos < text.size()) {
    const auto end = text.find('\n', pos);
    const std::string line = text.substr(pos, end - pos);
    pos = end == std::string::npos ? text.size() : end + 1;
    if (line.empty()) continue;
    if (line.front() == '[') {
      section = line.substr(1, line.find(']') - 1);
      continue;
    }
    const std::string key = line.substr(0, line.find('='));
    ++keys;
    if (section == kLanguageFileSection) {
      EXPECT_EQ(key, "Name");
    } else {
      EXPECT_NE(english.Find(section, key), nullptr) << section << "/" << key;
    }
  }
  EXPECT_EQ(keys, kLanguageTextCount + 1);
}

TEST(EnglishLanguageFile, IsCopiedIntoTheProgramDirectory) {
  const std::string copy = platform::JoinPath(KORVEL_PROGRAM_DIR, "English.lng");
  ASSERT_TRUE(platform::FileExists(copy));
  EXPECT_EQ(ReadFile(copy), ReadFile(platform::JoinPath(KORVEL_LANG_SOURCE_DIR, "English.lng")));
}

}  // namespace
}  // namespace korvel

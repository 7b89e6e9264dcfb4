// The attribute filter and the descriptor update on single manifests and descriptors.
#include "pipeline/ManifestRewrite.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "support/TempDir.h"

namespace korvel {
namespace {

using test::ReadFile;
using test::TempDir;

TEST(NormalizeLineBreaks, EndsEveryLineWithCrLfAndDropsEmptyLines) {
  EXPECT_EQ(NormalizeLineBreaks(""), "\r\n");
  EXPECT_EQ(NormalizeLineBreaks("\r\n\n\r"), "\r\n");
  EXPECT_EQ(NormalizeLineBreaks("a\r\rb"), "a\r\nb\r\n");
  EXPECT_EQ(NormalizeLineBreaks("a\nb"), "a\r\nb\r\n");
  EXPECT_EQ(NormalizeLineBreaks("a\r\n\r\n\r\nb\r\n"), "a\r\nb\r\n");
  EXPECT_EQ(NormalizeLineBreaks("\r\na\r\n"), "a\r\n");
  EXPECT_EQ(NormalizeLineBreaks("a\r\nb\r\n"), "a\r\nb\r\n");
  EXPECT_EQ(NormalizeLineBreaks(" x \t\r\n"), " x \t\r\n");  // blanks inside lines stay
}

TEST(LoadLinesExcept, ReadsEveryKindOfLineEnd) {
  TempDir dir;
  for (const char* text : {"A: 1\nB: 2\n", "A: 1\r\nB: 2\r\n", "A: 1\rB: 2\r", "A: 1\nB: 2"}) {
    EXPECT_EQ(LoadLinesExcept(dir.Write("f.jad", text), ""), "A: 1\r\nB: 2\r\n") << text;
  }
  EXPECT_EQ(LoadLinesExcept(dir.Write("e.jad", ""), "A"), "");
  EXPECT_EQ(LoadLinesExcept(dir.Write("blank.jad", "A\n\nB\n"), "x"), "A\r\n\r\nB\r\n");
}

TEST(LoadLinesExcept, DropsLinesByPrefixIgnoringCaseButNotAfterBlanks) {
  TempDir dir;
  const std::string jad = dir.Write("g.jad",
                                    "MIDlet-Name: Race\n"
                                    "midlet-jar-size: 100\n"
                                    "MIDlet-Jar-Size-Check: yes\n"
                                    "MIDlet-Vendor: X\n"
                                    " MIDlet-Jar-Size: 7\n");
  EXPECT_EQ(LoadLinesExcept(jad, "MIDlet-Jar-Size"),
            "MIDlet-Name: Race\r\nMIDlet-Vendor: X\r\n MIDlet-Jar-Size: 7\r\n");
}

TEST(LoadLinesExcept, ContinuationLinesGoWithTheirAttribute) {
  TempDir dir;
  const std::string mf = dir.Write("MANIFEST.MF",
                                   "MIDlet-Install-Notify: http://example.org/a-very-long-add\r\n"
                                   " ress/notify\r\n"
                                   " more\r\n"
                                   "MIDlet-1: Game,/i.png,net/example/Ga\r\n"
                                   " meMidlet\r\n");
  EXPECT_EQ(LoadLinesExcept(mf, "midlet-install-notify"),
            "MIDlet-1: Game,/i.png,net/example/Ga\r\n meMidlet\r\n");
}

TEST(LoadLinesExcept, AnUnreadableFileGivesNothing) {
  TempDir dir;
  EXPECT_EQ(LoadLinesExcept(dir / "missing.jad", ""), std::nullopt);
  EXPECT_EQ(LoadLinesExcept(dir.MakeDir("folder.jad"), ""), std::nullopt);
}

TEST(AttributeFilter, DropsHiddenMidletsAndInstallNotificationsInAnyCase) {
  TempDir dir;
  const std::string mf = dir.Write("MANIFEST.MF",
                                   "Manifest-Version: 1.0\n"
                                   "MIDxlet-1: Hidden,,a\n"
                                   "midlet-install-notify: http://x\n"
                                   "  still the notify url\n"
                                   "MIDlet-1: Game,,b\n"
                                   "\n"
                                   "Name: a.class\n"
                                   "SHA1-Digest: xyz\n");
  EXPECT_TRUE(FilterAttributes(mf));
  EXPECT_EQ(ReadFile(mf),
            "Manifest-Version: 1.0\r\nMIDlet-1: Game,,b\r\nName: a.class\r\nSHA1-Digest: xyz\r\n");
  // A second pass finds nothing more to do.
  EXPECT_TRUE(FilterAttributes(mf));
  EXPECT_EQ(ReadFile(mf),
            "Manifest-Version: 1.0\r\nMIDlet-1: Game,,b\r\nName: a.class\r\nSHA1-Digest: xyz\r\n");
}

TEST(AttributeFilter, LeavesAFileItCannotReadOrWriteAsItIs) {
  TempDir dir;
  EXPECT_FALSE(FilterAttributes(dir / "missing.jad"));
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.jad"));
  const std::string ro = dir.Write("ro.jad", "MIDxlet-1: a\nB: 1\n");
  ::chmod(ro.c_str(), 0444);
  EXPECT_FALSE(FilterAttributes(ro));
  EXPECT_EQ(ReadFile(ro), "MIDxlet-1: a\nB: 1\n");
}

TEST(DescriptorUpdate, RenewsSizeAndUrlAsTheLastTwoLines) {
  TempDir dir;
  const std::string jad = dir.Write("Race.jad",
                                    "MIDlet-Name: Race\n"
                                    "MIDlet-Jar-Size: 100\n"
                                    "MIDlet-Jar-URL: http://games.example.com/dl/Race.jar\n");
  EXPECT_TRUE(UpdateDescriptor(jad, 4711, "Race.jar"));
  EXPECT_EQ(ReadFile(jad),
            "MIDlet-Name: Race\r\nMIDlet-Jar-Size: 4711\r\nMIDlet-Jar-URL: Race.jar\r\n");
}

TEST(DescriptorUpdate, ADescriptorMadeFromTheManifestKeepsItsLines) {
  TempDir dir;
  const std::string jad =
      dir.Write("Xe Tang.jad", "Manifest-Version: 1.0\r\nMIDlet-Name: Xe Tang\r\n\r\n");
  EXPECT_TRUE(UpdateDescriptor(jad, 187500, "Xe Tang.jar"));
  EXPECT_EQ(ReadFile(jad),
            "Manifest-Version: 1.0\r\nMIDlet-Name: Xe Tang\r\n"
            "MIDlet-Jar-Size: 187500\r\nMIDlet-Jar-URL: Xe%20Tang.jar\r\n");

  const std::string empty = dir.Write("empty.jad", "");
  EXPECT_TRUE(UpdateDescriptor(empty, 5, "e.jar"));
  EXPECT_EQ(ReadFile(empty), "MIDlet-Jar-Size: 5\r\nMIDlet-Jar-URL: e.jar\r\n");
}

TEST(DescriptorUpdate, TheJarUrlIsPercentEncodedWhereAUrlNeedsIt) {
  const std::pair<std::string, std::string> cases[] = {
      {"Race-2_v1.0~(b).jar", "Race-2_v1.0~(b).jar"},
      {"My Game 100%.jar", "My%20Game%20100%25.jar"},
      {"a#b?c:d\"e.jar", "a%23b%3Fc%3Ad%22e.jar"},
      {"\xD0\x98\xD0\xB3\xD1\x80\xD0\xB0.jar", "%D0%98%D0%B3%D1%80%D0%B0.jar"},  // UTF-8
      {"\xC8\xE3\xF0\xE0.jar", "%D0%98%D0%B3%D1%80%D0%B0.jar"},                  // Windows-1251
  };
  for (const auto& [name, url] : cases) EXPECT_EQ(JarUrlOf(name), url) << name;
}

TEST(DescriptorUpdate, DropsTheSignatureOfTheOldJar) {
  TempDir dir;
  const std::string jad = dir.Write("s.jad",
                                    "MIDlet-Name: S\n"
                                    "MIDlet-Certificate-1-1: MIIB\n"
                                    " continued\n"
                                    "MIDlet-Jar-RSA-SHA1: abc=\n"
                                    "MIDlet-Jar-Size: 1\n");
  EXPECT_TRUE(UpdateDescriptor(jad, 2, "s.jar"));
  EXPECT_EQ(ReadFile(jad), "MIDlet-Name: S\r\nMIDlet-Jar-Size: 2\r\nMIDlet-Jar-URL: s.jar\r\n");
}

TEST(DescriptorUpdate, WithoutAJarToMeasureTheDescriptorStaysAsItIs) {
  TempDir dir;
  const std::string text = "MIDlet-Name: Race\nMIDlet-Jar-Size: 100\n";
  const std::string jad = dir.Write("Race.jad", text);
  EXPECT_FALSE(UpdateDescriptor(jad, GetFileSizeOf(dir / "Race.jar"), "Race.jar"));
  EXPECT_EQ(ReadFile(jad), text);
  EXPECT_FALSE(UpdateDescriptor(dir / "none.jad", 10, "none.jar"));
  EXPECT_FALSE(std::filesystem::exists(dir / "none.jad"));
}

}  // namespace
}  // namespace korvel

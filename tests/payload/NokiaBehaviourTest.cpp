// The Nokia compatibility classes from payload/Nokia.zip running in a JVM against recording
// MIDP stand-ins (tests/data/nokia): what each member returns and which graphics calls it makes.
#include <gtest/gtest.h>

#include <map>
#include <sstream>
#include <string>

#include "support/TempDir.h"

namespace korvel {
namespace {

class NokiaBehaviour : public testing::Test {
 protected:
  // Unpacks the carried classes, compiles the stand-ins and the probe beside them and runs the
  // probe once; each test then reads its own part of the output.
  static void SetUpTestSuite() {
    test::TempDir dir;
    const std::string classes = dir.MakeDir("classes");
    const std::string data = test::TestDataFile("nokia");
    std::string out;
    ASSERT_EQ(
        test::RunCommand(
            "unzip -q '" + test::SourceFile("payload/Nokia.zip") + "' -d '" + classes + "'", out),
        0)
        << out;
    ASSERT_EQ(test::RunCommand("cd '" + data + "' && javac -cp '" + classes + "' -d '" + classes +
                                   "' NokiaProbe.java javax/microedition/lcdui/*.java",
                               out),
              0)
        << out;
    ASSERT_EQ(test::RunCommand("java -Xshare:off -cp '" + classes + "' NokiaProbe", out), 0) << out;
    std::istringstream lines(out);
    std::string name;
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("== "))
        name = line.substr(3);
      else
        sections_[name] += line + "\n";
    }
  }

  static std::string Section(const std::string& name) {
    EXPECT_TRUE(sections_.contains(name)) << name;
    return sections_[name];
  }

  static std::map<std::string, std::string> sections_;
};

std::map<std::string, std::string> NokiaBehaviour::sections_;

TEST_F(NokiaBehaviour, SoundAndDeviceControlOnlyAnswer) {
  EXPECT_EQ(Section("sound"),
            "state 0 gain 128\n"
            "state 0 gain 128\n"
            "state 0 gain 128\n"
            "concurrent 1 1\n"
            "formats [1]\n"
            "formats [1]\n");  // a fresh array each time, whatever the caller did to the last
  EXPECT_EQ(Section("device control"), "subclass com.nokia.mid.ui.DeviceControl\n");
}

TEST_F(NokiaBehaviour, ShapesAreOutlinesWithoutAlpha) {
  EXPECT_EQ(Section("colours"),
            "screen.setColor 345678\n"
            "screen.setColor 000000\n");
  EXPECT_EQ(Section("triangles"),
            "screen.setColor 00ff00\n"
            "screen.drawLine 1 2 3 4\n"
            "screen.drawLine 3 4 5 6\n"
            "screen.drawLine 5 6 1 2\n"
            "screen.setColor ff0000\n"
            "screen.drawLine 10 20 30 40\n"
            "screen.drawLine 30 40 50 60\n"
            "screen.drawLine 50 60 10 20\n");
  // Points start at the offsets; the edge from the last point back to the first is left out.
  EXPECT_EQ(Section("polygons"),
            "screen.setColor 0000ff\n"
            "screen.drawLine 10 1 20 2\n"
            "screen.drawLine 20 2 30 3\n"
            "screen.drawLine 30 3 40 4\n"
            "screen.setColor 112233\n"
            "screen.drawLine 10 1 20 2\n"
            "screen.drawLine 20 2 30 3\n"
            "screen.setColor 445566\n");
}

TEST_F(NokiaBehaviour, PixelArraysArePlottedPointByPoint) {
  // offset 1, scan length 3: rows start at 1 and 4; alpha and transparency play no part.
  EXPECT_EQ(Section("int pixels"),
            "screen.setColor 102030\n"
            "screen.drawLine 10 20 10 20\n"
            "screen.setColor 405060\n"
            "screen.drawLine 11 20 11 20\n"
            "screen.setColor 708090\n"
            "screen.drawLine 10 21 10 21\n"
            "screen.setColor a0b0c0\n"
            "screen.drawLine 11 21 11 21\n");
  // 4444: each nibble becomes the top of its channel; alpha 0 is skipped; other formats draw
  // nothing.
  EXPECT_EQ(Section("short pixels"),
            "screen.setColor 102030\n"
            "screen.drawLine 5 6 5 6\n"
            "screen.setColor f0f0f0\n"
            "screen.drawLine 5 7 5 7\n"
            "screen.setColor 000000\n"
            "screen.drawLine 6 7 6 7\n");
  // Byte formats are not decoded: one line to (width, height) in the current colour.
  EXPECT_EQ(Section("byte pixels"),
            "screen.setColor 00ccdd\n"
            "screen.drawLine 7 8 30 40\n");
  EXPECT_EQ(Section("get pixels"), "[1, 2] [3] [4] [5]\n");
}

TEST_F(NokiaBehaviour, DirectGraphicsDrawsOnItsOwnGraphics) {
  EXPECT_EQ(Section("direct graphics"),
            "native 888 alpha 0\n"
            "Image.createImage 4 4 -> image1\n"
            "screen.drawImage image1 1 2 20\n"
            "fresh true\n"
            "other.setColor 010203\n");
}

TEST_F(NokiaBehaviour, CreatedImagesAreFilledAndKeepTheirColour) {
  EXPECT_EQ(Section("direct utils"),
            "Image.createImage [9, 8, 7, 6] 1 2 -> image2\n"
            "returned image2\n"
            "Image.createImage 10 5 -> image3\n"
            "image3.setColor ff8040\n"
            "image3.fillRect 0 0 10 5 in ff8040\n"
            "image3.setColor a0b0c0\n"
            "returned image3 colour a0b0c0\n");
}

TEST_F(NokiaBehaviour, FullCanvasIsACanvas) {
  EXPECT_EQ(Section("full canvas"), "canvas constructed 1 true\n");
}

}  // namespace
}  // namespace korvel

// The Nokia compatibility classes as carried in payload/Nokia.zip, read back with javap: the
// version a CLDC handset loads, the declarations games link against, debug tables and the
// preverifier's stack maps.
#include <gtest/gtest.h>

#include <map>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace korvel {
namespace {

struct Member {
  std::string declaration;  // as javap prints it, "public void play(int);"
  std::string descriptor;
  std::string parameters;  // names the LocalVariableTable records, space separated
  bool operator==(const Member&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Member& m) {
  return out << m.declaration << " " << m.descriptor << " [" << m.parameters << "]";
}

struct Method {
  std::string declaration;
  bool code = false;
  bool line_numbers = false;
  bool local_variables = false;
  bool stack_map = false;
  bool branches = false;
};

struct ClassFile {
  std::string header;
  std::string version;
  std::string flags;
  std::string super_class;
  std::vector<Member> members;
  std::vector<Method> methods;
};

// Reads the parts of `javap -v -p` output these tests look at.
ClassFile ParseJavap(const std::string& text) {
  static const std::regex kVersion(R"(  (minor|major) version: (\d+))");
  static const std::regex kFlags(R"(  flags: \((0x[0-9a-f]{4})\).*)");
  static const std::regex kSuper(R"(  super_class: #\d+ +// (\S+))");
  static const std::regex kMember(R"(  (\S.*;))");
  static const std::regex kInstruction(R"( +\d+: ([a-z_0-9]+).*)");
  static const std::regex kLocal(R"( +(\d+) +\d+ +\d+ +(\S+) +\S+)");
  ClassFile c;
  std::string minor, major;
  bool body = false, locals = false;
  std::istringstream lines(text);
  std::smatch m;
  for (std::string line; std::getline(lines, line);) {
    if (!body) {
      if (line == "{")
        body = true;
      else if (c.header.empty() && !line.empty() && line[0] != ' ' &&
               !line.starts_with("Classfile"))
        c.header = line;
      else if (std::regex_match(line, m, kVersion))
        (m[1] == "minor" ? minor : major) = m[2];
      else if (std::regex_match(line, m, kFlags))
        c.flags = m[1];
      else if (std::regex_match(line, m, kSuper))
        c.super_class = m[1];
      continue;
    }
    if (std::regex_match(line, m, kMember)) {
      c.members.push_back({m[1], "", ""});
      c.methods.push_back({m[1]});
      locals = false;
      continue;
    }
    if (c.members.empty()) continue;
    Member& member = c.members.back();
    Method& method = c.methods.back();
    if (line.starts_with("    descriptor: ")) {
      member.descriptor = line.substr(16);
    } else if (line == "    Code:") {
      method.code = true;
    } else if (line == "      LineNumberTable:") {
      method.line_numbers = true;
      locals = false;
    } else if (line == "      LocalVariableTable:") {
      method.local_variables = locals = true;
    } else if (line.starts_with("      StackMap: ")) {
      method.stack_map = true;
      locals = false;
    } else if (locals && std::regex_match(line, m, kLocal)) {
      if (m[1] == "0" && m[2] != "this")
        member.parameters += (member.parameters.empty() ? "" : " ") + m[2].str();
    } else if (!locals && std::regex_match(line, m, kInstruction)) {
      const std::string op = m[1];
      if (op.starts_with("if") || op.starts_with("goto") || op.ends_with("switch") ||
          op.starts_with("jsr"))
        method.branches = true;
    }
  }
  c.version = major + "." + minor;
  // Fields are members, not methods.
  std::erase_if(c.methods,
                [](const Method& x) { return x.declaration.find('(') == std::string::npos; });
  return c;
}

struct Expected {
  const char* entry;
  const char* header;
  const char* flags;
  const char* super_class;
  std::vector<Member> members;
};

const std::string kDrawPixelsNames =
    "pixels transparency offset scanlength x y width height manipulation format";

const std::vector<Expected>& ExpectedClasses() {
  static const std::vector<Expected> classes = {
      {"com/nokia/mid/sound/Sound.class",
       "public class com.nokia.mid.sound.Sound",
       "0x0021",
       "java/lang/Object",
       {{"public com.nokia.mid.sound.Sound(byte[], int);", "([BI)V", "data type"},
        {"public com.nokia.mid.sound.Sound(int, long);", "(IJ)V", "freq duration"},
        {"public void init(int, long);", "(IJ)V", "freq duration"},
        {"public void init(byte[], int);", "([BI)V", "data type"},
        {"public int getState();", "()I", ""},
        {"public void play(int);", "(I)V", "loop"},
        {"public void stop();", "()V", ""},
        {"public void resume();", "()V", ""},
        {"public void release();", "()V", ""},
        {"public void setGain(int);", "(I)V", "gain"},
        {"public int getGain();", "()I", ""},
        {"public static int getConcurrentSoundCount(int);", "(I)I", "type"},
        {"public static int[] getSupportedFormats();", "()[I", ""},
        {"public void setSoundListener(com.nokia.mid.sound.SoundListener);",
         "(Lcom/nokia/mid/sound/SoundListener;)V", "listener"}}},
      {"com/nokia/mid/sound/SoundListener.class",
       "public interface com.nokia.mid.sound.SoundListener",
       "0x0601",
       "java/lang/Object",
       {{"public abstract void soundStateChanged(com.nokia.mid.sound.Sound, int);",
         "(Lcom/nokia/mid/sound/Sound;I)V", ""}}},
      {"com/nokia/mid/ui/DeviceControl.class",
       "public abstract class com.nokia.mid.ui.DeviceControl",
       "0x0421",
       "java/lang/Object",
       {{"public com.nokia.mid.ui.DeviceControl();", "()V", ""},
        {"public static void setLights(int, int);", "(II)V", "num level"},
        {"public static void flashLights(long);", "(J)V", "duration"},
        {"public static void startVibra(int, long);", "(IJ)V", "freq duration"},
        {"public static void stopVibra();", "()V", ""}}},
      {"com/nokia/mid/ui/DirectGraphics.class",
       "public interface com.nokia.mid.ui.DirectGraphics",
       "0x0601",
       "java/lang/Object",
       {{"public abstract void setARGBColor(int);", "(I)V", ""},
        {"public abstract void drawTriangle(int, int, int, int, int, int, int);", "(IIIIIII)V", ""},
        {"public abstract void fillTriangle(int, int, int, int, int, int, int);", "(IIIIIII)V", ""},
        {"public abstract void drawPolygon(int[], int, int[], int, int, int);", "([II[IIII)V", ""},
        {"public abstract void fillPolygon(int[], int, int[], int, int, int);", "([II[IIII)V", ""},
        {"public abstract void drawPixels(int[], boolean, int, int, int, int, int, int, int, int);",
         "([IZIIIIIIII)V", ""},
        {"public abstract void drawPixels(byte[], byte[], int, int, int, int, int, int, int, int);",
         "([B[BIIIIIIII)V", ""},
        {"public abstract void drawPixels(short[], boolean, int, int, int, int, int, int, int, "
         "int);",
         "([SZIIIIIIII)V", ""},
        {"public abstract void getPixels(int[], int, int, int, int, int, int, int);",
         "([IIIIIIII)V", ""},
        {"public abstract void getPixels(byte[], byte[], int, int, int, int, int, int, int);",
         "([B[BIIIIIII)V", ""},
        {"public abstract void getPixels(short[], int, int, int, int, int, int, int);",
         "([SIIIIIII)V", ""},
        {"public abstract void drawImage(javax.microedition.lcdui.Image, int, int, int, int);",
         "(Ljavax/microedition/lcdui/Image;IIII)V", ""}}},
      {"com/nokia/mid/ui/DirectGraphicsImplemented.class",
       "public class com.nokia.mid.ui.DirectGraphicsImplemented implements "
       "com.nokia.mid.ui.DirectGraphics",
       "0x0021",
       "java/lang/Object",
       {{"private javax.microedition.lcdui.Graphics my_g;", "Ljavax/microedition/lcdui/Graphics;",
         ""},
        {"protected com.nokia.mid.ui.DirectGraphicsImplemented(javax.microedition.lcdui.Graphics);",
         "(Ljavax/microedition/lcdui/Graphics;)V", "g"},
        {"public void setARGBColor(int);", "(I)V", "argbColor"},
        {"public void drawTriangle(int, int, int, int, int, int, int);", "(IIIIIII)V",
         "x1 y1 x2 y2 x3 y3 argbColor"},
        {"public void fillTriangle(int, int, int, int, int, int, int);", "(IIIIIII)V",
         "x1 y1 x2 y2 x3 y3 argbColor"},
        {"public void drawPolygon(int[], int, int[], int, int, int);", "([II[IIII)V",
         "xPoints xOffset yPoints yOffset nPoints argbColor"},
        {"public void fillPolygon(int[], int, int[], int, int, int);", "([II[IIII)V",
         "xPoints xOffset yPoints yOffset nPoints argbColor"},
        {"public int getNativePixelFormat();", "()I", ""},
        {"public int getAlphaComponent();", "()I", ""},
        {"public void drawImage(javax.microedition.lcdui.Image, int, int, int, int);",
         "(Ljavax/microedition/lcdui/Image;IIII)V", "img x y anchor manipulation"},
        {"public void drawPixels(int[], boolean, int, int, int, int, int, int, int, int);",
         "([IZIIIIIIII)V", kDrawPixelsNames},
        {"public void drawPixels(short[], boolean, int, int, int, int, int, int, int, int);",
         "([SZIIIIIIII)V", kDrawPixelsNames},
        {"public void drawPixels(byte[], byte[], int, int, int, int, int, int, int, int);",
         "([B[BIIIIIIII)V",
         "pixels transparencyMask offset scanlength x y width height manipulation format"},
        {"public void getPixels(int[], int, int, int, int, int, int, int);", "([IIIIIIII)V",
         "pixels offset scanlength x y width height format"},
        {"public void getPixels(byte[], byte[], int, int, int, int, int, int, int);",
         "([B[BIIIIIII)V", "pixels transparencyMask offset scanlength x y width height format"},
        {"public void getPixels(short[], int, int, int, int, int, int, int);", "([SIIIIIII)V",
         "pixels offset scanlength x y width height format"}}},
      {"com/nokia/mid/ui/DirectUtils.class",
       "public abstract class com.nokia.mid.ui.DirectUtils",
       "0x0421",
       "java/lang/Object",
       {{"public com.nokia.mid.ui.DirectUtils();", "()V", ""},
        {"public static com.nokia.mid.ui.DirectGraphics "
         "getDirectGraphics(javax.microedition.lcdui.Graphics);",
         "(Ljavax/microedition/lcdui/Graphics;)Lcom/nokia/mid/ui/DirectGraphics;", "g"},
        {"public static javax.microedition.lcdui.Image createImage(byte[], int, int);",
         "([BII)Ljavax/microedition/lcdui/Image;", "imageData imageOffset imageLength"},
        {"public static javax.microedition.lcdui.Image createImage(int, int, int);",
         "(III)Ljavax/microedition/lcdui/Image;", "width height ARGBcolor"}}},
      {"com/nokia/mid/ui/FullCanvas.class",
       "public abstract class com.nokia.mid.ui.FullCanvas extends javax.microedition.lcdui.Canvas",
       "0x0421",
       "javax/microedition/lcdui/Canvas",
       {{"protected com.nokia.mid.ui.FullCanvas();", "()V", ""}}},
  };
  return classes;
}

// Unpacks the archive and reads all seven classes with one javap run.
class NokiaClassFiles : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    test::TempDir dir;
    std::string command = "cd '" + dir.Path() + "' && unzip -q '" +
                          test::SourceFile("payload/Nokia.zip") + "' && javap -v -p";
    for (const Expected& expected : ExpectedClasses()) command += std::string(" ") + expected.entry;
    std::string out;
    ASSERT_EQ(test::RunCommand(command, out), 0) << out;
    std::istringstream lines(out);
    std::string entry, text;
    for (std::string line; std::getline(lines, line);) {
      if (line.starts_with("Classfile ")) {
        if (!entry.empty()) classes_[entry] = ParseJavap(text);
        entry = line.substr(line.find("/com/") + 1);
        text.clear();
      }
      text += line + "\n";
    }
    if (!entry.empty()) classes_[entry] = ParseJavap(text);
  }

  static const ClassFile& Class(const std::string& entry) {
    EXPECT_TRUE(classes_.contains(entry)) << entry;
    return classes_[entry];
  }

  static std::map<std::string, ClassFile> classes_;
};

std::map<std::string, ClassFile> NokiaClassFiles::classes_;

TEST_F(NokiaClassFiles, DeclareTheNokiaApi) {
  for (const Expected& expected : ExpectedClasses()) {
    SCOPED_TRACE(expected.entry);
    const ClassFile& c = Class(expected.entry);
    EXPECT_EQ(c.header, expected.header);
    EXPECT_EQ(c.version, "46.0");
    EXPECT_EQ(c.flags, expected.flags);
    EXPECT_EQ(c.super_class, expected.super_class);
    EXPECT_EQ(c.members, expected.members);
  }
}

// A CLDC handset checks code that jumps against the preverifier's stack maps and refuses a class
// that lacks them.
TEST_F(NokiaClassFiles, CarryDebugTablesAndStackMaps) {
  int with_branches = 0;
  for (const Expected& expected : ExpectedClasses()) {
    for (const Method& method : Class(expected.entry).methods) {
      SCOPED_TRACE(method.declaration);
      const bool is_abstract = method.declaration.find(" abstract ") != std::string::npos;
      EXPECT_NE(method.code, is_abstract);
      if (!method.code) continue;
      EXPECT_TRUE(method.line_numbers);
      // javac writes no empty table: a static method without parameters or locals has none.
      if (method.declaration.find(" static ") == std::string::npos ||
          method.declaration.find("()") == std::string::npos) {
        EXPECT_TRUE(method.local_variables);
      }
      if (method.branches) {
        ++with_branches;
        EXPECT_TRUE(method.stack_map);
      }
    }
  }
  // drawPolygon and the int[] and short[] drawPixels loops.
  EXPECT_GE(with_branches, 3);
}

}  // namespace
}  // namespace korvel

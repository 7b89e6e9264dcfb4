// What the patch job tests share.
#include "tests/pipeline/JobFixture.h"

#include <filesystem>

namespace korvel::test {

namespace fs = std::filesystem;

std::map<std::string, std::string> Unzip(const std::string& jar) {
  TempDir dir;
  std::string out;
  EXPECT_EQ(RunCommand("unzip -qq -o '" + jar + "' -d '" + dir.Path() + "'", out), 0) << out;
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir.Path())) {
    if (e.is_regular_file()) {
      files[fs::relative(e.path(), dir.Path()).string()] = ReadFile(e.path().string());
    }
  }
  return files;
}

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
    lines.push_back(text.substr(start, end - start));
  }
  return lines;
}

// The stand-in MIDP classes and the demo game, compiled once per test program.
const CompiledDemo& Demo() {
  static const TempDir dir;
  static const CompiledDemo demo = [] {
    CompiledDemo d{dir.MakeDir("midp"), dir.MakeDir("classes")};
    const std::string data = TestDataFile("");
    std::string out;
    EXPECT_EQ(RunCommand("javac -d '" + d.midp + "' '" + data +
                             "/midp/javax/microedition/lcdui/Canvas.java' && javac -cp '" + d.midp +
                             "' -d '" + d.classes + "' '" + data + "/game/DemoGame.java'",
                         out),
              0)
        << out;
    return d;
  }();
  return demo;
}

std::string JobFixture::MakeDemoGame(const std::string& name) {
  const std::string classes = build_.MakeDir("classes");
  fs::copy_file(fs::path(Demo().classes) / "DemoGame.class", fs::path(classes) / "DemoGame.class");
  build_.Write("classes/META-INF/MANIFEST.MF",
               "Manifest-Version: 1.0\r\nMIDlet-1: Demo,,DemoGame\r\n"
               "MIDxlet-2: Hidden,,DemoGame\r\nMIDlet-Name: Demo\r\n\r\n");
  const std::string jar = games_ / (name + ".jar");
  std::string out;
  EXPECT_EQ(RunCommand("cd '" + classes + "' && zip -q -X -r '" + jar +
                           "' META-INF/MANIFEST.MF DemoGame.class",
                       out),
            0)
      << out;
  games_.Write(name + ".jad",
               "MIDlet-1: Demo,,DemoGame\nMIDlet-Jar-Size: 1\n"
               "MIDlet-Jar-URL: http://example.com/" +
                   name + ".jar\nMIDlet-Name: Demo\n");
  return jar;
}

}  // namespace korvel::test

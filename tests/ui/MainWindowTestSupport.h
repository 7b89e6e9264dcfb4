// What the main window tests share: a window with its own program and game folders, the built-in
// texts and copies of a sample game.
#pragma once

#include <gtest/gtest.h>

#include <QPlainTextEdit>
#include <QString>
#include <QStringList>
#include <deque>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "archive/ArchiveMessages.h"
#include "platform/Files.h"
#include "support/TempDir.h"
#include "ui/Boxes.h"
#include "ui/MainProgram.h"
#include "ui/MainWindow.h"

namespace korvel::test {

inline std::string Builtin(TextId id) {
  return std::string(EntryOf(id).built_in);
}

inline QString QBuiltin(TextId id) {
  return QString::fromStdString(Builtin(id));
}

inline bool EnginesBuilt() {
  namespace fs = std::filesystem;
  return fs::exists(fs::path(KORVEL_PROGRAM_DIR) / "libunpkeng.so") &&
         fs::exists(fs::path(KORVEL_PROGRAM_DIR) / "libpackeng.so");
}

class MainWindowTest : public testing::Test {
 protected:
  void SetUp() override {
    Boxes::EnableTestMode(true);
    InstallArchiveUiHooks();  // as the program runs: archive boxes recorded, events processed
    saved_cwd_ = platform::CurrentDirectory();
    frm_ = std::make_unique<Tfrm>();
    ui_ = frm_->ControlsForTest();
    frm_->SetProgramDirectory(program_.Path());
    frm_->SetSettingsPath(program_ / "korvel.ini");
    frm_->SetEngineDirectory(KORVEL_PROGRAM_DIR);
    frm_->StartUploadTool = [this](const std::string& program, const std::string& argument) {
      started_.push_back({program, argument});
      return true;
    };
  }

  void TearDown() override {
    frm_.reset();
    SetArchiveUiHooks(TArchiveUiHooks{});
    platform::SetCurrentDirectory(saved_cwd_);
  }

  // Shows the window, which loads the settings and the texts.
  void Show() {
    frm_->show();
    ASSERT_TRUE(frm_->isVisible());
  }

  // A copy of the sample game (and its JAD when asked) in the user's folder, or "" when the
  // sample or the engines are missing.
  std::string CopyGame(const std::string& name, bool with_jad) {
    const std::string jar = test::CorpusFile("apress-hello/hello.jar");
    if (jar.empty() || !EnginesBuilt()) return "";
    // The user's own copies are writable, whatever the sample's mode is.
    if (with_jad)
      games_.Write(name + ".jad", test::ReadFile(test::CorpusFile("apress-hello/hello.jad")));
    return games_.Write(name + ".jar", test::ReadFile(jar));
  }

  QStringList ConsoleLines() const { return ui_.mem->toPlainText().split(QLatin1Char('\n')); }
  int JobsStarted() const { return ConsoleLines().count(QBuiltin(TextId::kInitializing)); }

  std::deque<BoxRecord>& Shown() { return Boxes::Shown(); }

  std::string saved_cwd_;
  TempDir program_;
  TempDir games_;
  std::unique_ptr<Tfrm> frm_;
  Tfrm::Controls ui_{};  // frm_'s
  std::vector<std::pair<std::string, std::string>> started_;
};

#define REQUIRE_GAME(path) ASSERT_FALSE((path).empty()) << "the engines are missing"

}  // namespace korvel::test

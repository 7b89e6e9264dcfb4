// Helpers of the archive tests: Info-ZIP runs and a recorder of boxes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/ArchiveMessages.h"
#include "support/ZipBuilder.h"

namespace korvel::test {

// Runs a shell command in `folder`; its exit status.
inline int RunIn(const std::string& folder, const std::string& command) {
  std::string line = "cd '" + folder + "' && " + command + " >/dev/null 2>&1";
  return std::system(line.c_str());
}

inline bool HaveTool(const std::string& tool) {
  return std::system(("command -v " + tool + " >/dev/null 2>&1").c_str()) == 0;
}

// Collects every box and restores the default hooks when it goes.
class BoxRecorder {
 public:
  struct Box {
    TArchiveBoxKind kind;
    std::string caption;
    std::string message;
  };

  BoxRecorder() {
    TArchiveUiHooks hooks;
    hooks.ShowDialog = [this](TArchiveBoxRequest& r) {
      boxes.push_back({r.Kind, r.Caption, r.Message});
      if (r.Kind == TArchiveBoxKind::kPassword && !entries.empty()) {
        r.Password = entries.front();
        entries.erase(entries.begin());
      }
      return answer;
    };
    hooks.ProcessMessages = [this] {
      if (on_process_messages) on_process_messages();
    };
    SetArchiveUiHooks(hooks);
  }
  ~BoxRecorder() { SetArchiveUiHooks({}); }
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;

  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const Box& b : boxes) out.push_back(b.message);
    return out;
  }

  std::vector<Box> boxes;
  int answer = kArchiveMrOk;
  std::vector<std::string> entries;  // typed into password boxes, in order
  std::function<void()> on_process_messages;
};

}  // namespace korvel::test

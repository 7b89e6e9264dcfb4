// Helpers of the archive tests: hand-made zip archives, Info-ZIP runs and a recorder of boxes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "archive/ZipMsg.h"

namespace korvel::test {

// One entry of a hand-made archive, stored without compression.
struct RawEntry {
  std::string name;
  std::string data;
  std::uint8_t host = 0;      // host system of "version made by"
  std::uint8_t made_by = 20;  // version of "version made by"
  std::uint16_t flags = 0;
  std::string comment = {};
};

inline std::uint32_t Crc32(const std::string& data) {
  std::uint32_t crc = 0xFFFFFFFFu;
  for (unsigned char c : data) {
    crc ^= c;
    for (int k = 0; k < 8; ++k) crc = (crc >> 1) ^ (0xEDB88320u & (0u - (crc & 1u)));
  }
  return ~crc;
}

inline void Put16(std::string& out, std::uint32_t v) {
  out += static_cast<char>(v & 0xFF);
  out += static_cast<char>((v >> 8) & 0xFF);
}
inline void Put32(std::string& out, std::uint32_t v) {
  Put16(out, v & 0xFFFF);
  Put16(out, v >> 16);
}

// A complete archive of `entries` with `comment`; the names are written as given (bytes).
inline std::string MakeZip(const std::vector<RawEntry>& entries, const std::string& comment = "") {
  std::string out;
  std::vector<std::uint32_t> offsets;
  for (const RawEntry& e : entries) {
    offsets.push_back(static_cast<std::uint32_t>(out.size()));
    Put32(out, 0x04034B50);
    Put16(out, 10);
    Put16(out, e.flags);
    Put16(out, 0);
    Put32(out, 0x00210000);  // 1980-01-01 00:00
    Put32(out, Crc32(e.data));
    Put32(out, static_cast<std::uint32_t>(e.data.size()));
    Put32(out, static_cast<std::uint32_t>(e.data.size()));
    Put16(out, static_cast<std::uint32_t>(e.name.size()));
    Put16(out, 0);
    out += e.name;
    out += e.data;
  }
  std::uint32_t central = static_cast<std::uint32_t>(out.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const RawEntry& e = entries[i];
    Put32(out, 0x02014B50);
    out += static_cast<char>(e.made_by);
    out += static_cast<char>(e.host);
    Put16(out, 10);
    Put16(out, e.flags);
    Put16(out, 0);
    Put32(out, 0x00210000);
    Put32(out, Crc32(e.data));
    Put32(out, static_cast<std::uint32_t>(e.data.size()));
    Put32(out, static_cast<std::uint32_t>(e.data.size()));
    Put16(out, static_cast<std::uint32_t>(e.name.size()));
    Put16(out, 0);
    Put16(out, static_cast<std::uint32_t>(e.comment.size()));
    Put16(out, 0);
    Put16(out, 0);
    Put32(out, e.name.back() == '/' ? 0x10 : 0);
    Put32(out, offsets[i]);
    out += e.name;
    out += e.comment;
  }
  std::uint32_t central_size = static_cast<std::uint32_t>(out.size()) - central;
  Put32(out, 0x06054B50);
  Put16(out, 0);
  Put16(out, 0);
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put16(out, static_cast<std::uint32_t>(entries.size()));
  Put32(out, central_size);
  Put32(out, central);
  Put16(out, static_cast<std::uint32_t>(comment.size()));
  out += comment;
  return out;
}

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
    TZipDlgKind kind;
    std::string caption;
    std::string message;
  };

  BoxRecorder() {
    TZipUiHooks hooks;
    hooks.ShowDialog = [this](TZipDialogRequest& r) {
      boxes.push_back({r.Kind, r.Caption, r.Message});
      if (r.Kind == TZipDlgKind::kPassword && !entries.empty()) {
        r.Password = entries.front();
        entries.erase(entries.begin());
      }
      return answer;
    };
    hooks.ProcessMessages = [this] {
      if (on_process_messages) on_process_messages();
    };
    SetZipUiHooks(hooks);
  }
  ~BoxRecorder() { SetZipUiHooks({}); }
  BoxRecorder(const BoxRecorder&) = delete;
  BoxRecorder& operator=(const BoxRecorder&) = delete;

  std::vector<std::string> Messages() const {
    std::vector<std::string> out;
    for (const Box& b : boxes) out.push_back(b.message);
    return out;
  }

  std::vector<Box> boxes;
  int answer = kZipMrOk;
  std::vector<std::string> entries;  // typed into password boxes, in order
  std::function<void()> on_process_messages;
};

}  // namespace korvel::test

// Loads the built engine libraries and drives them with hand-filled records, as the archive
// component would; plus small helpers for comparing folder trees and building archives by hand.
#pragma once

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "archive/EngineRecords.h"
#include "support/TempDir.h"
#include "support/ZipBuilder.h"

namespace korvel::test {

// One loaded engine library; the test fails when it or an entry point is missing.
class EngineLibrary {
 public:
  explicit EngineLibrary(const char* path) : handle_(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
    if (handle_ == nullptr) ADD_FAILURE() << "cannot load " << path << ": " << dlerror();
  }
  ~EngineLibrary() {
    if (handle_ != nullptr) dlclose(handle_);
  }
  EngineLibrary(const EngineLibrary&) = delete;
  EngineLibrary& operator=(const EngineLibrary&) = delete;

  template <typename Fn>
  Fn Get(const char* name) const {
    return handle_ == nullptr ? nullptr : reinterpret_cast<Fn>(dlsym(handle_, name));
  }

 private:
  void* handle_;
};

inline const EngineLibrary& ZipEngine() {
  static EngineLibrary library(KORVEL_PACKENG_PATH);
  return library;
}

inline const EngineLibrary& UnzEngine() {
  static EngineLibrary library(KORVEL_UNPKENG_PATH);
  return library;
}

// One callback as the component saw it.
struct CallbackEvent {
  int action = 0;
  std::int32_t arg1 = 0;
  std::int32_t arg2 = 0;
  std::string text;
  std::string entry;  // messages: the entry they are about
};

// Records every callback and answers as told.
class CallbackRecorder {
 public:
  std::vector<CallbackEvent> events;
  // Answer for a callback (0 goes on); may also fill in the record's answer fields.
  std::function<std::int32_t(EngineCallbackRecord&)> answer;

  static std::int32_t KORVEL_RECORD_CALL Callback(EngineCallbackRecord* record) {
    auto* self = static_cast<CallbackRecorder*>(record->Caller);
    CallbackEvent event;
    event.action = KORVEL_CALLBACK_CODE_ACTION(record->Code);
    event.arg1 = record->Arg1;
    event.arg2 = record->Arg2;
    const char* text =
        record->Text.Indirect.Zero == 0 ? record->Text.Indirect.Text : record->Text.Buffer;
    event.text = text != nullptr ? text : "";
    if (event.action == kCallbackActionMessage && record->Data != nullptr)
      event.entry = static_cast<const char*>(record->Data);
    self->events.push_back(event);
    return self->answer ? self->answer(*record) : 0;
  }

  int Count(int action) const {
    int count = 0;
    for (const CallbackEvent& event : events) count += event.action == action ? 1 : 0;
    return count;
  }
  // Messages that carry the error value `error`.
  std::vector<std::string> Errors(std::int32_t error) const {
    std::vector<std::string> texts;
    for (const CallbackEvent& event : events)
      if (event.action == kCallbackActionMessage && event.arg1 == error)
        texts.push_back(event.text);
    return texts;
  }
};

// A packing run with the main window's settings: "*.*", recursion, folder names, separate
// folder entries, level 9 and the usual store suffixes.
struct PackRun {
  PackCommandRecord record{};
  std::vector<PackFileSpec> entries;
  std::vector<std::string> patterns;
  std::vector<const char*> excludes;
  std::string archive, root,
      suffixes =
          ".gif:.png:.z:.zip:.zoo:.arc:.lzh:.arj:.taz:.tgz:.lha:.rar:.ace:.cab:.gz:.gzip:.jar";
  CallbackRecorder recorder;

  PackRun(std::string archive_path, std::string root_dir,
          std::vector<std::string> pattern_list = {"*.*"})
      : patterns(std::move(pattern_list)),
        archive(std::move(archive_path)),
        root(std::move(root_dir)) {
    record.Caller = &recorder;
    record.Version = KORVEL_ENGINE_VERSION;
    record.Version2 = KORVEL_ENGINE_VERSION;
    record.Callback = &CallbackRecorder::Callback;
    record.Quiet = -1;
    record.Level = 9;
    record.Recurse = 0xFFFF;
    record.NotSafe = -1;
    record.AllowUndo = -1;
    record.RecordMark = KORVEL_RECORD_RECORD_MARK;
  }

  std::int32_t Run() {
    entries.assign(patterns.size(), PackFileSpec{});
    for (std::size_t i = 0; i < patterns.size(); ++i) {
      entries[i].FileSpec = patterns[i].c_str();
      entries[i].Recurse = record.Recurse;
    }
    record.Specs = entries.data();
    record.SpecCount = static_cast<std::int32_t>(entries.size());
    record.Excludes = excludes.data();
    record.ExcludeCount = static_cast<std::int32_t>(excludes.size());
    record.ZipFileName = archive.c_str();
    record.RootDir = root.empty() ? nullptr : root.c_str();
    record.StoreSuffixes = suffixes.empty() ? nullptr : suffixes.c_str();
    auto exec = ZipEngine().Get<PackExecFn>(KORVEL_PACK_EXEC_NAME);
    if (exec == nullptr) {
      ADD_FAILURE() << "no PackExec";
      return -1000;
    }
    return exec(&record);
  }
};

// An unpacking run with the main window's settings: all entries, folder names, overwrite.
struct UnpackRun {
  UnpackCommandRecord record{};
  std::vector<UnpackFileSpec> entries;
  std::vector<std::string> patterns;
  std::string archive, base, password;
  CallbackRecorder recorder;

  UnpackRun(std::string archive_path, std::string base_dir)
      : archive(std::move(archive_path)), base(std::move(base_dir)) {
    record.Caller = &recorder;
    record.Callback = &CallbackRecorder::Callback;
    record.Quiet = -1;
    record.DirNames = -1;
    record.Overwrite = -1;
    record.PasswordRequests = 1;
    record.RecordMark = KORVEL_RECORD_RECORD_MARK;
  }

  std::int32_t Run() {
    auto version = UnzEngine().Get<GetUnpackVersionFn>(KORVEL_UNPACK_VERSION_NAME);
    auto exec = UnzEngine().Get<UnpackExecFn>(KORVEL_UNPACK_EXEC_NAME);
    if (exec == nullptr || version == nullptr) {
      ADD_FAILURE() << "no UnpackExec";
      return -1000;
    }
    record.Version = version();
    entries.assign(patterns.size(), UnpackFileSpec{});
    for (std::size_t i = 0; i < patterns.size(); ++i) entries[i].FileSpec = patterns[i].c_str();
    record.Specs = entries.empty() ? nullptr : entries.data();
    record.SpecCount = static_cast<std::int32_t>(entries.size());
    record.ZipFileName = archive.c_str();
    record.BaseDir = base.empty() || record.Test ? nullptr : base.c_str();
    record.Password = password.c_str();
    return exec(&record);
  }
};

// Every file and folder below `root`: relative path -> content ("<dir>" for folders).
inline std::map<std::string, std::string> TreeOf(const std::string& root) {
  namespace fs = std::filesystem;
  std::map<std::string, std::string> tree;
  for (const auto& entry : fs::recursive_directory_iterator(root)) {
    const std::string rel = fs::relative(entry.path(), root).generic_string();
    tree[rel] = entry.is_directory() ? "<dir>" : ReadFile(entry.path().string());
  }
  return tree;
}

// Runs a shell command; returns its exit status and fills `output` with its standard output.
inline int Shell(const std::string& command, std::string* output = nullptr) {
  std::unique_ptr<FILE, int (*)(FILE*)> pipe(popen(command.c_str(), "r"), pclose);
  if (!pipe) return -1;
  std::array<char, 4096> buffer;
  std::string text;
  for (std::size_t got; (got = fread(buffer.data(), 1, buffer.size(), pipe.get())) > 0;)
    text.append(buffer.data(), got);
  if (output != nullptr) *output = text;
  const int status = pclose(pipe.release());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

inline std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

}  // namespace korvel::test

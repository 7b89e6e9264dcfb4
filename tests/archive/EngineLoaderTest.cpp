// Tests of engine loading and of the component around an engine run, with stand-in engines of
// chosen versions: version range, holds, result mapping, command records and callbacks.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ArchiveTestSupport.h"
#include "archive/ArchiveWorker.h"
#include "archive/Archiver.h"
#include "archive/EngineLoader.h"
#include "archive/EngineRecords.h"
#include "pipeline/JobComponents.h"
#include "platform/DynamicLibrary.h"
#include "platform/Files.h"
#include "support/TempDir.h"

namespace korvel {
namespace {

using test::BoxRecorder;
using test::TempDir;

std::string FakeDir(const std::string& name) {
  return std::string(KORVEL_FAKE_ENGINES) + "/" + name;
}

// Test controls the stand-in engines export, reached through a second handle on the library.
class FakeControls {
 public:
  explicit FakeControls(const std::string& folder, const char* file)
      : library_(platform::DynamicLibrary::Load(platform::JoinPath(folder, file))) {}
  bool Ok() const { return library_ != nullptr; }
  void SetResult(int value) { Call<void (*)(int)>("FakeSetResult")(value); }
  void SetMessageError(int value) { Call<void (*)(int)>("FakeSetMessageError")(value); }
  int Calls() { return Call<int (*)()>("FakeCalls")(); }
  int LastCallbackAnswer() { return Call<int (*)()>("FakeLastCallbackAnswer")(); }
  std::string Text(const char* name) {
    const char* t = Call<const char* (*)(const char*)>("FakeText")(name);
    return t == nullptr ? "(absent)" : t;
  }
  template <typename Record>
  const Record& LastRecord() {
    return *Call<const Record* (*)()>("FakeLastRecord")();
  }

  template <typename Fn>
  Fn Get(const char* name) {
    return reinterpret_cast<Fn>(library_->Symbol(name));
  }

 private:
  template <typename Fn>
  Fn Call(const char* name) {
    return Get<Fn>(name);
  }
  std::unique_ptr<platform::DynamicLibrary> library_;
};

TEST(EngineLoader, VersionsOutsideTheRangeOrBelowOperationsAreRefused) {
  struct Case {
    const char* folder;
    int expected;
    int ident;
  };
  const std::vector<Case> cases = {
      {"unpack150", 0, kArchiveLibOldOrCorrupt},
      {"unpack199", 0, kArchiveLibOldOrCorrupt},
      {"unpack201", 201, 0},
      {"unpack301", 0, kArchiveLibOldOrCorrupt},
      {"unpacknoexec", 0, kArchiveLibOldOrCorrupt},
      {"nowhere", 0, kArchiveLoadFailed},
  };
  for (const Case& c : cases) {
    BoxRecorder boxes;
    TArchiver zip;
    zip.SetDLLDirectory(FakeDir(c.folder));
    EXPECT_EQ(zip.LoadUnzEngine(false), c.expected) << c.folder;
    EXPECT_EQ(zip.ErrCode(), c.ident) << c.folder;
    if (c.ident == 0) {
      EXPECT_TRUE(boxes.boxes.empty());
      EXPECT_EQ(zip.UnpackVersion(), 201);
      continue;
    }
    EXPECT_EQ(zip.UnpackVersion(), 0) << c.folder;
    ASSERT_EQ(boxes.boxes.size(), 1u) << c.folder;
    EXPECT_EQ(boxes.boxes[0].kind, TArchiveBoxKind::kError);
    if (c.ident == kArchiveLoadFailed) {
      EXPECT_EQ(boxes.boxes[0].message, "Failed to load libunpkeng.so");
    } else {
      // The loaded module's path names the library.
      EXPECT_EQ(boxes.boxes[0].message,
                "Unable to load " + FakeDir(c.folder) + "/libunpkeng.so - It is old or corrupt");
    }
    // A quiet load reports nothing on screen but still says why.
    std::vector<int> messages;
    zip.OnMessage = [&](int code, const std::string&) { messages.push_back(code); };
    EXPECT_EQ(zip.LoadUnzEngine(true), 0);
    EXPECT_EQ(boxes.boxes.size(), 1u) << c.folder;
    EXPECT_EQ(messages, std::vector<int>{c.ident});
  }
}

TEST(EngineLoader, HoldsKeepTheLibraryUntilTheLastGoes) {
  TArchiveWorker worker;
  worker.SetDLLDirectory(FakeDir("unpack201"));
  TUnpackEngine& dll = worker.UnpackEngine();
  EXPECT_EQ(dll.LoadLib(true), 201);
  EXPECT_EQ(dll.Holds(), 1);
  EXPECT_EQ(dll.LoadLib(true), 201);  // the explicit hold is one hold
  EXPECT_EQ(dll.Holds(), 1);
  EXPECT_EQ(dll.Acquire(), 201);
  EXPECT_EQ(dll.Holds(), 2);
  dll.UnloadLib();
  EXPECT_TRUE(dll.Loaded());
  dll.Release();
  EXPECT_FALSE(dll.Loaded());
  EXPECT_EQ(dll.Version(), 0);

  // An operation alone loads for its own run.
  dll.Acquire();
  EXPECT_TRUE(dll.Loaded());
  dll.Release();
  EXPECT_FALSE(dll.Loaded());
  dll.UnloadLib();  // nothing held: nothing happens
  EXPECT_FALSE(dll.Loaded());
}

TEST(EngineLoader, VerboseLoadingNamesTheModule) {
  BoxRecorder boxes;
  TArchiver zip;
  zip.SetVerbose(true);
  zip.SetDLLDirectory(FakeDir("unpack201") + "/");
  EXPECT_EQ(zip.DLLDirectory(), FakeDir("unpack201"));
  EXPECT_EQ(zip.LoadUnzEngine(false), 201);
  zip.UnloadUnzEngine();
  const std::string path = FakeDir("unpack201") + "/libunpkeng.so";
  EXPECT_EQ(boxes.Messages(), (std::vector<std::string>{"Loaded " + path, "Unloaded " + path}));
}

TEST(EngineLoader, NegativeEngineResultsBecomeErrors) {
  FakeControls fake(FakeDir("unpack201"), "libunpkeng.so");
  ASSERT_TRUE(fake.Ok());
  TempDir dir;
  std::string archive = dir.Write("a.zip", test::MakeZip({{.name = "a", .data = "1"}}));
  struct Case {
    int result;
    std::string text;
  };
  const std::vector<Case> cases = {
      {-1, "DLL Error - Aborting"},          {-3, "DLL Error - Busy"},
      {-4, "DLL Error - User Cancelled"},    {-5, "DLL Error - Not enough memory"},
      {-6, "DLL Error - Invalid structure"}, {-8, "DLL Error - Exception in handler "},
      {-42, "critical DLL Error -42"},
  };
  for (const Case& c : cases) {
    BoxRecorder boxes;
    TArchiver zip;
    zip.SetDLLDirectory(FakeDir("unpack201"));
    zip.SetZipFileName(archive);
    zip.FSpecArgs() = {"*.*"};
    fake.SetResult(c.result);
    int ident = EngineResultIdent(c.result);
    EXPECT_EQ(zip.Extract(), ident) << c.result;
    EXPECT_EQ(zip.Message(), c.text);
    ASSERT_EQ(boxes.boxes.size(), 1u);
    EXPECT_EQ(boxes.boxes[0].kind, TArchiveBoxKind::kError);
    EXPECT_EQ(zip.SuccessCnt(), 0);
  }
  fake.SetResult(1);
}

TEST(EngineLoader, UnpackingRecordCarriesTheSettings) {
  FakeControls fake(FakeDir("unpack201"), "libunpkeng.so");
  ASSERT_TRUE(fake.Ok());
  TempDir dir;
  std::string archive = dir.Write("a.zip", test::MakeZip({{.name = "a", .data = "1"}}));
  BoxRecorder boxes;
  TArchiver zip;
  ApplyPatchJobSettings(zip);
  zip.SetDLLDirectory(FakeDir("unpack201"));
  zip.SetZipFileName(archive);
  zip.SetExtrBaseDir(dir.MakeDir("work"));
  fake.SetResult(3);
  zip.FSpecArgs() = {"*.*", "b"};
  EXPECT_EQ(zip.Extract(), 0);
  EXPECT_EQ(zip.SuccessCnt(), 3);
  EXPECT_TRUE(zip.FSpecArgs().empty());
  const auto& rec = fake.LastRecord<UnpackCommandRecord>();
  EXPECT_EQ(rec.SpecCount, 0);  // "*.*" first: every entry
  EXPECT_EQ(rec.Version, 201);
  EXPECT_EQ(rec.DirNames, -1);
  EXPECT_EQ(rec.Overwrite, -1);
  EXPECT_EQ(rec.Test, 0);
  EXPECT_EQ(rec.Quiet, -1);
  EXPECT_EQ(rec.PasswordRequests, 1);
  EXPECT_EQ(rec.RecordMark, KORVEL_RECORD_RECORD_MARK);
  EXPECT_EQ(fake.Text("base"), dir / "work");
  EXPECT_EQ(fake.Text("archive"), archive);
  EXPECT_EQ(fake.Text("password"), "");

  zip.FSpecArgs() = {"b", "c/*"};
  zip.SetExtrOptions({ExtrOptsEnum::ExtrFreshen, ExtrOptsEnum::ExtrUpdate, ExtrOptsEnum::ExtrTest});
  zip.Extract();
  const auto& rec2 = fake.LastRecord<UnpackCommandRecord>();
  EXPECT_EQ(rec2.SpecCount, 2);
  EXPECT_EQ(fake.Text("pattern:1"), "c/*");
  EXPECT_EQ(rec2.Update, -1);
  EXPECT_EQ(rec2.Freshen, 0);
  EXPECT_EQ(fake.Text("base"), "(null)");  // testing writes nothing

  // A missing base folder is refused before the engine runs, unless it may be made.
  int calls = fake.Calls();
  zip.SetExtrOptions({ExtrOptsEnum::ExtrDirNames});
  zip.SetExtrBaseDir(dir / "absent/deeper");
  zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(zip.Extract(), kArchiveNoExtractDir);
  EXPECT_EQ(zip.Message(), "Extract directory '" + dir / "absent/deeper" + "' must exist");
  EXPECT_EQ(fake.Calls(), calls);
  EXPECT_TRUE(zip.FSpecArgs().empty());
  zip.SetExtrOptions({ExtrOptsEnum::ExtrForceDirs});
  EXPECT_EQ(zip.Extract(), 0);
  EXPECT_TRUE(platform::DirectoryExists(dir / "absent/deeper"));
}

TEST(EngineLoader, PackingRecordOfThePatchJob) {
  FakeControls fake(FakeDir("pack201"), "libpackeng.so");
  ASSERT_TRUE(fake.Ok());
  TempDir dir;
  BoxRecorder boxes;
  TArchiver zip;
  ApplyPatchJobSettings(zip);
  zip.SetDLLDirectory(FakeDir("pack201"));
  zip.SetZipFileName(dir / "out.jar");
  zip.SetRootDir(dir.MakeDir("temp") + "/");
  fake.SetResult(0);
  zip.FSpecArgs() = {"*.*"};
  zip.SetReferenceZip(dir / "game.jar");
  EXPECT_EQ(zip.Add(), 0);
  EXPECT_TRUE(zip.FSpecArgs().empty());
  const auto& rec = fake.LastRecord<PackCommandRecord>();
  // Every entry is deflated (and stored only when that does not shrink it).
  EXPECT_EQ(fake.Text("suffixes"), "(null)");
  EXPECT_EQ(fake.Text("reference"), dir / "game.jar");
  EXPECT_EQ(rec.Level, 9);
  EXPECT_EQ(rec.NoDirEntries, 0);
  EXPECT_EQ(rec.JunkDirNames, 0);
  EXPECT_EQ(rec.Recurse, 0xFFFF);
  EXPECT_EQ(rec.Encrypt, 0);
  EXPECT_EQ(rec.SpecCount, 1);
  EXPECT_EQ(rec.Version, 200);
  EXPECT_EQ(rec.Version2, 200);
  EXPECT_EQ(rec.RecordMark, KORVEL_RECORD_RECORD_MARK);
  EXPECT_EQ(rec.AllowUndo, -1);
  EXPECT_EQ(rec.CodePage, 0);
  EXPECT_EQ(std::string(rec.Date, 8), "12 30 99");
  EXPECT_EQ(fake.Text("pattern:0"), "*.*");
  EXPECT_EQ(fake.Text("password:0"), "(null)");
  EXPECT_EQ(fake.Text("password"), "(null)");
  EXPECT_EQ(fake.Text("root"), dir / "temp/");
  EXPECT_EQ(fake.Text("archive"), dir / "out.jar");
}

TEST(EngineLoader, PackingPatternLines) {
  FakeControls fake(FakeDir("pack201"), "libpackeng.so");
  ASSERT_TRUE(fake.Ok());
  TempDir dir;
  BoxRecorder boxes;
  TArchiver zip;
  zip.SetDLLDirectory(FakeDir("pack201"));
  zip.SetZipFileName(dir / "out.zip");
  zip.SetPassword("general");
  zip.SetAddOptions({AddOptsEnum::AddEncrypt});
  zip.SetAddFrom(45292);  // 2024-01-01
  zip.FSpecArgs() = {">  a/*.txt  ", "|b.bin<secret", "c.dat< ", "d.dat<", "   "};
  zip.FSpecArgsExcl() = {"*.bak"};
  zip.Add();
  EXPECT_TRUE(zip.FSpecArgsExcl().empty());
  const auto& rec = fake.LastRecord<PackCommandRecord>();
  ASSERT_EQ(rec.SpecCount, 5);
  EXPECT_EQ(fake.Text("pattern:0"), "a/*.txt");
  EXPECT_EQ(fake.Text("password:0"), "general");
  EXPECT_EQ(fake.Text("pattern:1"), "b.bin");
  EXPECT_EQ(fake.Text("password:1"), "secret");
  EXPECT_EQ(fake.Text("pattern:2"), "c.dat");
  EXPECT_EQ(fake.Text("password:2"), "(null)");
  EXPECT_EQ(fake.Text("pattern:3"), "d.dat");
  EXPECT_EQ(fake.Text("pattern:4"), "(null)");
  EXPECT_EQ(fake.Text("exclude:0"), "*.bak");
  EXPECT_EQ(fake.Text("password"), "general");
  EXPECT_EQ(std::string(rec.Date, 8), "01 01 24");
  EXPECT_EQ(rec.Encrypt, -1);
  EXPECT_EQ(rec.NoDirEntries, -1);
  EXPECT_EQ(rec.JunkDirNames, -1);
  EXPECT_EQ(rec.Recurse, 0);
  EXPECT_EQ(fake.Text("root"), "(null)");
}

TEST(EngineLoader, PackingRefusals) {
  FakeControls fake(FakeDir("pack201"), "libpackeng.so");
  ASSERT_TRUE(fake.Ok());
  TempDir dir;
  BoxRecorder boxes;
  TArchiver zip;
  zip.SetDLLDirectory(FakeDir("pack201"));
  int calls = fake.Calls();

  zip.SetZipFileName(dir / "out.zip");
  EXPECT_EQ(zip.Add(), kArchiveNothingToZip);
  EXPECT_EQ(boxes.boxes.back().message, "Error - no files to zip!");

  zip.SetZipFileName(dir / "missing/out.zip");
  zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(zip.Add(), kArchiveNoDestinationDir);
  EXPECT_EQ(zip.Message(), "Destination directory '" + dir / "missing" + "' must exist!");
  EXPECT_TRUE(zip.FSpecArgs().empty());

  zip.SetUnattended(true);
  zip.SetAddOptions({AddOptsEnum::AddEncrypt});
  zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(zip.Add(), kArchiveUnattendedNoPassword);
  EXPECT_EQ(fake.Calls(), calls);

  // Freshening without patterns freshens everything.
  zip.SetUnattended(false);
  zip.SetAddOptions({AddOptsEnum::AddUpdate});
  zip.SetZipFileName(dir / "out.zip");
  EXPECT_EQ(zip.Add(), 0);
  const auto& rec = fake.LastRecord<PackCommandRecord>();
  EXPECT_EQ(rec.Update, 0);
  EXPECT_EQ(rec.Freshen, -1);
  EXPECT_EQ(fake.Text("pattern:0"), "*.*");
}

TEST(EngineLoader, EngineMessagesSetTheErrorWithoutABox) {
  FakeControls fake(FakeDir("unpack201"), "libunpkeng.so");
  ASSERT_TRUE(fake.Ok());
  TempDir dir;
  std::string archive = dir.Write("a.zip", test::MakeZip({{.name = "a", .data = "1"}}));
  BoxRecorder boxes;
  TArchiver zip;
  std::vector<std::pair<int, std::string>> messages;
  zip.OnMessage = [&](int code, const std::string& text) { messages.emplace_back(code, text); };
  zip.SetDLLDirectory(FakeDir("unpack201"));
  zip.SetZipFileName(archive);
  fake.SetMessageError(0x0108);
  fake.SetResult(0);
  zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(zip.Extract(), 8);
  EXPECT_EQ(zip.Message(), "fake engine failure");
  EXPECT_TRUE(boxes.boxes.empty());
  EXPECT_EQ(messages, (std::vector<std::pair<int, std::string>>{{8, "fake engine failure"}}));
  fake.SetMessageError(0);
  fake.SetResult(1);
}

TEST(EngineLoader, ExceptionInAnEventHandlerStopsTheRunAndIsNamed) {
  FakeControls fake(FakeDir("unpack201"), "libunpkeng.so");
  ASSERT_TRUE(fake.Ok());
  TempDir dir;
  std::string archive = dir.Write("a.zip", test::MakeZip({{.name = "a", .data = "1"}}));
  BoxRecorder boxes;
  TArchiver zip;
  zip.SetDLLDirectory(FakeDir("unpack201"));
  zip.SetZipFileName(archive);
  zip.OnProgress = [](ProgressType type, const std::string&, std::int64_t) {
    if (type == ProgressType::NewFile) throw std::runtime_error("boom");
  };
  zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(zip.Extract(), kEngineResultHandlerException);
  EXPECT_EQ(fake.LastCallbackAnswer(), kArchiveHandlerException);
  EXPECT_EQ(zip.Message(), "DLL Error - Exception in handler  #1 \"boom\"");
  EXPECT_FALSE(zip.Cancel());
}

TEST(EngineLoader, CallsWhileBusyAreRefusedAsReEntry) {
  FakeControls fake(FakeDir("unpack201"), "libunpkeng.so");
  ASSERT_TRUE(fake.Ok());
  TempDir dir;
  std::string archive = dir.Write("a.zip", test::MakeZip({{.name = "a", .data = "1"}}));
  std::string other = dir.Write("b.zip", test::MakeZip({{.name = "b", .data = "2"}}));
  BoxRecorder boxes;
  TArchiver zip;
  zip.SetDLLDirectory(FakeDir("unpack201"));
  zip.SetZipFileName(archive);
  std::vector<int> nested;
  boxes.on_process_messages = [&] {
    zip.FSpecArgs() = {"x"};
    nested.push_back(zip.Extract());
    nested.push_back(zip.Add());
    nested.push_back(zip.LoadZipEngine(true));
    zip.SetZipFileName(other);  // refused: the name stays
  };
  fake.SetResult(1);
  zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(zip.Extract(), 0);
  boxes.on_process_messages = nullptr;
  ASSERT_GE(nested.size(), 3u);
  for (int r : nested) EXPECT_EQ(r, kArchiveNotPermitted);
  EXPECT_TRUE(zip.ReEntry());
  EXPECT_EQ(zip.ZipFileName(), archive);
  // The run's own lists win over what was set meanwhile.
  EXPECT_TRUE(zip.FSpecArgs().empty());
  EXPECT_EQ(fake.Calls() > 0, true);

  zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(zip.Extract(), 0);
  EXPECT_FALSE(zip.ReEntry());
}

TEST(EngineLoader, InactiveComponentRefusesAndDefersReading) {
  TempDir dir;
  std::string archive = dir.Write("a.zip", test::MakeZip({{.name = "a", .data = "1"}}));
  BoxRecorder boxes;
  TArchiver zip;
  zip.SetActive(false);
  zip.SetZipFileName(archive);
  EXPECT_EQ(zip.Count(), 0);
  zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(zip.Extract(), kArchiveNotPermitted);
  EXPECT_EQ(zip.FSpecArgs().size(), 1u);
  EXPECT_EQ(zip.LoadUnzEngine(true), kArchiveNotPermitted);
  zip.SetActive(true);
  EXPECT_EQ(zip.Count(), 1);
}

}  // namespace
}  // namespace korvel

namespace korvel {
namespace {

// A stand-in engine run with the test controls at hand.
struct FakeRun {
  explicit FakeRun(const char* folder, const char* file)
      : fake(FakeDir(folder), file),
        archive(dir.Write("a.zip", test::MakeZip({{.name = "a", .data = "1"}}))) {
    zip.SetDLLDirectory(FakeDir(folder));
    zip.SetZipFileName(archive);
    zip.OnMessage = [this](int code, const std::string& text) {
      messages.emplace_back(code, text);
    };
  }
  const EngineCallbackRecord& PasswordAnswer() {
    return *fake.Get<const EngineCallbackRecord* (*)()>("FakePasswordAnswer")();
  }
  void SetPasswordRequest(int on) { fake.Get<void (*)(int)>("FakeSetPasswordRequest")(on); }
  void SetMessageForm(std::uint32_t code, int indirect) {
    fake.Get<void (*)(std::uint32_t, int)>("FakeSetMessageForm")(code, indirect);
  }

  TempDir dir;
  BoxRecorder boxes;
  FakeControls fake;
  std::string archive;
  TArchiver zip;
  std::vector<std::pair<int, std::string>> messages;
};

TEST(EngineCallbacks, MessageTextsByPointerAndByIdentifier) {
  FakeRun run("unpack201", "libunpkeng.so");
  ASSERT_TRUE(run.fake.Ok());
  run.fake.SetResult(0);
  run.fake.SetMessageError(3);
  run.SetMessageForm(0, 1);
  run.zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(run.zip.Extract(), 3);
  EXPECT_EQ(run.zip.Message(), "dir/fake engine failure");

  // A known identifier replaces the text; the name part starts at the given character.
  run.SetMessageForm(KORVEL_CALLBACK_CODE(0, 5, kArchiveStructureWarning), 1);
  run.zip.FSpecArgs() = {"*.*"};
  run.zip.Extract();
  EXPECT_EQ(run.zip.Message(), "Warning - Error in zip structure! fake engine failure");
  run.SetMessageForm(KORVEL_CALLBACK_CODE(0, 0, kArchiveStructureWarning), 0);
  run.zip.FSpecArgs() = {"*.*"};
  run.zip.Extract();
  EXPECT_EQ(run.zip.Message(), "Warning - Error in zip structure! fake engine failure");
  run.SetMessageForm(0, 0);
  run.fake.SetMessageError(0);
  run.fake.SetResult(1);
}

TEST(EngineCallbacks, PackingPasswordMustBeTypedTwiceAlike) {
  FakeRun run("pack201", "libpackeng.so");
  ASSERT_TRUE(run.fake.Ok());
  run.SetPasswordRequest(1);
  run.boxes.entries = {"pw", "pw"};
  run.zip.FSpecArgs() = {"*.*"};
  run.zip.Add();
  ASSERT_EQ(run.boxes.boxes.size(), 2u);
  EXPECT_EQ(run.boxes.boxes[0].message, "Enter Password ");
  EXPECT_EQ(run.boxes.boxes[1].message, "Confirm Password ");
  EXPECT_EQ(run.boxes.boxes[0].caption, "Password");
  EXPECT_EQ(run.PasswordAnswer().Arg1, 1);
  EXPECT_EQ(run.PasswordAnswer().Arg2, 15);  // the repeat count is capped
  EXPECT_STREQ(run.PasswordAnswer().Text.Buffer, "pw");

  run.boxes.entries = {"pw", "other"};
  run.zip.FSpecArgs() = {"*.*"};
  run.zip.Add();
  EXPECT_EQ(run.boxes.boxes.back().message, "Error - passwords do NOT match\nPassword ignored");
  EXPECT_EQ(run.PasswordAnswer().Arg1, 0);
  EXPECT_EQ(run.PasswordAnswer().Arg2, 0);
  run.SetPasswordRequest(0);
}

TEST(EngineCallbacks, UnpackingPasswordAnswers) {
  FakeRun run("unpack201", "libunpkeng.so");
  ASSERT_TRUE(run.fake.Ok());
  run.SetPasswordRequest(1);
  run.fake.SetResult(1);

  run.boxes.entries = {"secret"};
  run.zip.FSpecArgs() = {"*.*"};
  run.zip.Extract();
  EXPECT_EQ(run.PasswordAnswer().Arg1, 1);
  EXPECT_STREQ(run.PasswordAnswer().Text.Buffer, "secret");
  EXPECT_EQ(run.boxes.boxes.size(), 1u);

  // "CancelAll" tells the engine to ask no more.
  run.boxes.answer = kArchiveMrCancelAll;
  run.zip.FSpecArgs() = {"*.*"};
  EXPECT_EQ(run.zip.Extract(), 0);
  EXPECT_EQ(run.PasswordAnswer().Code, 0u);
  EXPECT_EQ(run.PasswordAnswer().Arg1, 0);
  run.boxes.answer = kArchiveMrOk;

  // Without anyone to ask: a message, no password, and a warning before the run.
  run.zip.SetUnattended(true);
  run.messages.clear();
  run.zip.FSpecArgs() = {"*.*"};
  run.zip.Extract();
  EXPECT_EQ(run.fake.LastRecord<UnpackCommandRecord>().PasswordRequests, 0);
  ASSERT_EQ(run.messages.size(), 2u);
  EXPECT_EQ(run.messages[0].first, kArchiveUnattendedExtract);
  EXPECT_EQ(run.messages[1], (std::pair<int, std::string>{kArchiveNoExtractPassword,
                                                          "Error - no extract password given"}));
  EXPECT_EQ(run.PasswordAnswer().Arg1, 0);

  // A handler answers in place of the box.
  run.zip.OnPasswordError = [](bool is_zip, std::string& password, const std::string& file,
                               std::uint32_t& repeats, bool&) {
    EXPECT_FALSE(is_zip);
    EXPECT_EQ(file, "secret.txt");
    password = "from-handler";
    repeats = 2;
  };
  run.zip.FSpecArgs() = {"*.*"};
  run.zip.Extract();
  EXPECT_EQ(run.fake.LastRecord<UnpackCommandRecord>().PasswordRequests, 1);
  EXPECT_STREQ(run.PasswordAnswer().Text.Buffer, "from-handler");
  EXPECT_EQ(run.PasswordAnswer().Arg2, 2);
  run.SetPasswordRequest(0);
}

TEST(EngineCallbacks, DLLDirectoryRelativeToTheProgramFolder) {
  // The test program lives in tests/, the stand-ins in tests/archive/fake/.
  BoxRecorder boxes;
  TArchiver zip;
  zip.SetDLLDirectory("./archive/fake/unpack201");
  EXPECT_EQ(zip.LoadUnzEngine(false), 201);
  EXPECT_TRUE(boxes.boxes.empty());
  zip.UnloadUnzEngine();
}

}  // namespace
}  // namespace korvel

// TArchiveWorker: the archive component's worker. It reads the archive directory itself, builds the
// engines' command records, runs the engines and answers their callbacks; each of these has a
// source file of its own (DirectoryReader, EngineCommands, EngineCallbacks).
#pragma once

#include <cstdint>
#include <iosfwd>
#include <memory>
#include <string>
#include <vector>

#include "archive/ArchiveBase.h"
#include "archive/ArchiveTypes.h"
#include "archive/EngineLoader.h"
#include "archive/EngineRecords.h"
#include "platform/Time.h"

namespace korvel {

// The settings of one operation, copied from the component at its start.
struct TArchiveSettings {
  std::int32_t AddCompLevel = 9;
  platform::DateTime AddFrom = 0;
  AddOpts AddOptions;
  AddStoreExts AddStoreSuffixes = DefaultStoreSuffixes();
  std::string ExtAddStoreSuffixes;  // normalised: ".abc:.def:"
  CodePageOpts CodePage = CodePageOpts::cpAuto;
  std::string ExtrBaseDir;
  ExtrOpts ExtrOptions;
  DeleteOpts HowToDelete = DeleteOpts::htdAllowUndo;
  std::string Password;
  std::uint32_t PasswordReqCount = 1;
  std::string ReferenceZip;
  std::string RootDir;
  std::string TempDir;
  bool UseDirOnlyEntries = false;
  SpanOpts SpanOptions;
  std::int64_t MaxVolumeSize = 0;
  std::int32_t MinFreeVolumeSize = 65536;
  std::int32_t KeepFreeOnDisk1 = 0;
  std::int32_t KeepFreeOnAllDisks = 0;
  bool ConfirmErase = false;
};

// `text` split at ",", ":" and ";", each item with a leading "." and a trailing ":", lower-cased:
// "Abc;.def" gives ".abc:.def:". Empty items are left out.
std::string NormalizeStoreSuffixes(std::string_view text);

// The engine's store-only list: ".gif:.png:..." for `suffixes`, with `ext` (normalised) for
// assEXT; empty for none.
std::string StoreSuffixList(const AddStoreExts& suffixes, std::string_view ext);

// Whether an entry's name and comment are converted from the OEM code page.
bool ConvertsFromOem(CodePageOpts code_page, std::uint8_t host, std::uint8_t version_made_by,
                     std::uint16_t flags);

class TArchiveWorker : public TArchiveBase {
 public:
  TArchiveWorker();
  ~TArchiveWorker() override;

  TArchiveSettings& Settings() { return settings_; }
  std::vector<std::string>& FSpecArgs() { return fspec_args_; }
  std::vector<std::string>& FSpecArgsExcl() { return fspec_args_excl_; }

  // The archive; setting it does not read the directory (List does).
  const std::string& ZipFileName() const { return zip_file_name_; }
  void SetZipFileName(std::string name) { zip_file_name_ = std::move(name); }

  // While inactive, directory reading waits; becoming active runs a waiting reading.
  bool Active() const { return active_; }
  void SetActive(bool active);

  // Reads the archive's directory into the list. Raises EArchiveError only for an invalid drive.
  void List();
  // Unpacks / packs with the current settings; returns ErrCode.
  int Extract();
  int Add();

  // Results of the last directory reading.
  const std::vector<ZipDirEntry>& ZipContents() const { return entries_; }
  int Count() const { return zip_file_name_.empty() ? 0 : static_cast<int>(entries_.size()); }
  const std::string& ZipComment() const { return zip_comment_; }
  std::int64_t CentralDirOffset() const { return central_dir_offset_; }
  std::int64_t ZipEffectiveSize() const { return effective_size_; }
  // Bytes in front of the first entry, such as a self-extractor stub.
  std::int64_t SFXOffset() const { return lowest_local_offset_; }
  int ZipDiskNo() const { return disk_no_; }
  bool IsSpanned() const { return spanned_; }
  int DirOnlyCount() const { return dir_only_count_; }

  // The number the engine returned for the last packing or unpacking.
  int SuccessCnt() const { return success_count_; }

  bool Busy() const { return busy_; }
  void SetBusy(bool busy) { busy_ = busy; }
  bool ReEntry() const { return re_entry_; }
  void SetReEntry(bool value) { re_entry_ = value; }
  bool Cancel() const { return cancel_; }
  void SetCancel(bool value) { cancel_ = value; }

  TPackEngine& PackEngine() { return *pack_engine_; }
  TUnpackEngine& UnpackEngine() { return *unpack_engine_; }

 private:
  void ResetDirectory();

  // Directory reading, step by step (DirectoryReader.cpp).
  struct ReadState;
  void ReadDirectory(ReadState& state);
  void OpenArchive(ReadState& state);
  void FindEndRecord(ReadState& state);
  void ReadArchiveComment(ReadState& state);
  void LocateCentralDirectory(ReadState& state);
  ZipDirEntry ReadCentralHeader(std::ifstream& file) const;
  // Keeps the entry, or only counts it when it is a folder and those are left out.
  void AddEntry(ZipDirEntry entry);

  // Engine runs (ArchiveWorker.cpp) and their command records (EngineCommands.cpp).
  struct UnpackCommand;
  struct PackCommand;
  void StartEngineRun();
  // Applies the implied options and checks what packing needs; false after saying what is wrong.
  bool ReadyToAdd(AddOpts& options, std::vector<std::string>& lines);
  void ReadAfterAdd();
  void BuildUnpackCommand(std::int32_t version, std::uint32_t password_requests,
                          UnpackCommand& command);
  void BuildPackCommand(const AddOpts& options, const std::vector<std::string>& lines,
                        PackCommand& command);
  void FillPackRecord(const AddOpts& options, PackCommand& command);
  // Shows an error that ended an engine run, noting an event handler's exception if one did.
  void ShowEngineRunError(const EArchiveError& error);

  // The engines' callback (EngineCallbacks.cpp).
  static std::int32_t KORVEL_RECORD_CALL Callback(EngineCallbackRecord* record);
  std::int32_t HandleCallback(EngineCallbackRecord& record);
  void DispatchAction(int action, EngineCallbackRecord& record, const std::string& text);
  bool ReportEngineProgress(int action, const EngineCallbackRecord& record,
                            const std::string& text);
  bool ReportEngineMessage(int action, const EngineCallbackRecord& record, const std::string& text);
  void AnswerEngineQuestion(int action, EngineCallbackRecord& record, const std::string& text);
  void AnswerPassword(EngineCallbackRecord& record, const std::string& file);
  bool AskNewPassword(std::string& password);
  bool AskPassword(std::string& password, bool& cancel_all);
  void Tick();
  void NoteHandlerException(int action, const char* what);

  TArchiveSettings settings_;
  std::vector<std::string> fspec_args_;
  std::vector<std::string> fspec_args_excl_;
  std::string zip_file_name_;
  bool active_ = true;
  bool list_pending_ = false;

  std::vector<ZipDirEntry> entries_;
  std::string zip_comment_;
  std::int64_t central_dir_offset_ = 0;
  std::int64_t effective_size_ = 0;
  std::int64_t lowest_local_offset_ = 0;
  int disk_no_ = 0;
  bool spanned_ = false;
  int dir_only_count_ = 0;

  int success_count_ = 0;
  bool busy_ = false;
  bool re_entry_ = false;
  bool cancel_ = false;
  bool pack_busy_ = false;
  bool unpack_busy_ = false;
  // The first exception an event handler raised during this engine run, as a note.
  bool handler_exception_ = false;
  std::string handler_exception_note_;
  std::string extra_answer_;  // extra data handed back by pointer; lives until the next callback

  std::unique_ptr<TPackEngine> pack_engine_;
  std::unique_ptr<TUnpackEngine> unpack_engine_;
};

}  // namespace korvel

// TCustomArchiver and TArchiver: the archive component. It keeps the settings of archive
// operations, reads the directory of the archive named by ZipFileName, and has the engine libraries
// unpack (Extract) and pack (Add). Typical use, as the patch job does it:
//
//   TArchiver zip;
//   zip.SetZipFileName(jar);          // reads the directory
//   zip.SetExtrBaseDir(work_dir);
//   zip.FSpecArgs() = {"*.*"};
//   zip.Extract();                    // FSpecArgs is empty afterwards
//
// Failures are reported through the component's box hook and OnMessage, and as the result code;
// nothing is thrown to the caller.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "archive/ArchiveMessages.h"
#include "archive/ArchiveTypes.h"
#include "platform/Time.h"

namespace korvel {

class TArchiveWorker;

// The result of an operation that is not permitted now (busy or inactive).
inline constexpr int kArchiveNotPermitted = -255;

// The events (OnMessage, OnProgress, ...) are the public members inherited from TArchiveEvents;
// none is assigned by the program.
class TCustomArchiver : public TArchiveEvents {
 public:
  TCustomArchiver();
  ~TCustomArchiver();
  // The worker's callbacks refer back to it; the component stays where it was made.
  TCustomArchiver(const TCustomArchiver&) = delete;
  TCustomArchiver& operator=(const TCustomArchiver&) = delete;

  // --- Operations ---------------------------------------------------------------------------

  // Unpacks the entries FSpecArgs selects ("*.*" or nothing: all) below ExtrBaseDir. Returns
  // ErrCode afterwards (0 = no error), or kArchiveNotPermitted.
  int Extract();
  // Packs the files FSpecArgs selects below RootDir into ZipFileName. Returns as Extract.
  int Add();
  // Loads an engine library and keeps it until the matching unload. Returns its version, 0 when
  // it cannot be used (`quiet`: without a box), or kArchiveNotPermitted.
  int LoadUnzEngine(bool quiet);
  int LoadZipEngine(bool quiet);
  void UnloadUnzEngine();
  void UnloadZipEngine();

  // --- Published properties ------------------------------------------------------------------

  // While False, directory reading waits and operations are refused.
  bool Active() const { return active_; }
  void SetActive(bool active);
  std::int32_t AddCompLevel() const { return add_comp_level_; }
  void SetAddCompLevel(std::int32_t level) { add_comp_level_ = level; }
  // Reference date for AddFromDate.
  platform::DateTime AddFrom() const { return add_from_; }
  void SetAddFrom(platform::DateTime date) { add_from_ = date; }
  const AddOpts& AddOptions() const { return add_options_; }
  void SetAddOptions(const AddOpts& options) { add_options_ = options; }
  const AddStoreExts& AddStoreSuffixes() const { return add_store_suffixes_; }
  void SetAddStoreSuffixes(const AddStoreExts& suffixes) { add_store_suffixes_ = suffixes; }
  CodePageOpts CodePage() const { return code_page_; }
  void SetCodePage(CodePageOpts code_page) { code_page_ = code_page; }
  // Where the engine libraries are looked for; a trailing separator is removed.
  const std::string& DLLDirectory() const { return dll_directory_; }
  void SetDLLDirectory(std::string dir);
  // Further store-only suffixes ("abc;.def"), used while assEXT is in AddStoreSuffixes.
  const std::string& ExtAddStoreSuffixes() const { return ext_add_store_suffixes_; }
  void SetExtAddStoreSuffixes(std::string text) { ext_add_store_suffixes_ = std::move(text); }
  const std::string& ExtrBaseDir() const { return extr_base_dir_; }
  void SetExtrBaseDir(std::string dir) { extr_base_dir_ = std::move(dir); }
  const ExtrOpts& ExtrOptions() const { return extr_options_; }
  void SetExtrOptions(const ExtrOpts& options) { extr_options_ = options; }
  // File patterns of the next operation; every operation empties them.
  std::vector<std::string>& FSpecArgs() { return fspec_args_; }
  const std::vector<std::string>& FSpecArgs() const { return fspec_args_; }
  void SetFSpecArgs(std::vector<std::string> specs) { fspec_args_ = std::move(specs); }
  // Exclusions for packing; every packing empties them.
  std::vector<std::string>& FSpecArgsExcl() { return fspec_args_excl_; }
  const std::vector<std::string>& FSpecArgsExcl() const { return fspec_args_excl_; }
  void SetFSpecArgsExcl(std::vector<std::string> specs) { fspec_args_excl_ = std::move(specs); }
  DeleteOpts HowToDelete() const { return how_to_delete_; }
  void SetHowToDelete(DeleteOpts how) { how_to_delete_ = how; }
  // How often the engine may ask for a password; at most 15.
  std::uint32_t PasswordReqCount() const { return password_req_count_; }
  void SetPasswordReqCount(std::uint32_t count);
  // An archive that packing takes entries' compressed bytes from: a file with an entry of the
  // same name, size and CRC-32 there, deflated smaller than packing would deflate it, gets those
  // bytes. Empty for none.
  const std::string& ReferenceZip() const { return reference_zip_; }
  void SetReferenceZip(std::string name) { reference_zip_ = std::move(name); }
  const std::string& RootDir() const { return root_dir_; }
  void SetRootDir(std::string dir) { root_dir_ = std::move(dir); }
  const std::string& TempDir() const { return temp_dir_; }
  void SetTempDir(std::string dir) { temp_dir_ = std::move(dir); }
  bool Trace() const { return trace_; }
  void SetTrace(bool trace) { trace_ = trace; }
  // No box at all when True.
  bool Unattended() const { return unattended_; }
  void SetUnattended(bool unattended) { unattended_ = unattended; }
  // Keep directory-only entries in the directory list.
  bool UseDirOnlyEntries() const { return use_dir_only_entries_; }
  void SetUseDirOnlyEntries(bool use) { use_dir_only_entries_ = use; }
  bool Verbose() const { return verbose_; }
  void SetVerbose(bool verbose) { verbose_ = verbose; }
  std::string VersionInfo() const { return "2.0"; }
  void SetVersionInfo(const std::string&) {}
  // The full version text.
  std::string FullVersionString() const { return "2.0.0.0"; }
  // The archive; setting it reads the directory. Refused (name unchanged) while busy. Empty
  // after a failed reading.
  std::string ZipFileName() const;
  void SetZipFileName(std::string name);
  const std::string& Password() const { return password_; }
  void SetPassword(std::string password) { password_ = std::move(password); }

  // Multi-disk settings: kept, not acted on.
  bool ConfirmErase() const { return confirm_erase_; }
  void SetConfirmErase(bool value) { confirm_erase_ = value; }
  std::int32_t KeepFreeOnAllDisks() const { return keep_free_on_all_disks_; }
  void SetKeepFreeOnAllDisks(std::int32_t value) { keep_free_on_all_disks_ = value; }
  std::int32_t KeepFreeOnDisk1() const { return keep_free_on_disk1_; }
  void SetKeepFreeOnDisk1(std::int32_t value) { keep_free_on_disk1_ = value; }
  std::int64_t MaxVolumeSize() const { return max_volume_size_; }
  void SetMaxVolumeSize(std::int64_t value) { max_volume_size_ = value; }
  std::int32_t MinFreeVolumeSize() const { return min_free_volume_size_; }
  void SetMinFreeVolumeSize(std::int32_t value) { min_free_volume_size_ = value; }
  const SpanOpts& SpanOptions() const { return span_options_; }
  void SetSpanOptions(const SpanOpts& value) { span_options_ = value; }

  // Self-extractor settings: kept, not acted on.
  const std::string& SFXCaption() const { return sfx_caption_; }
  void SetSFXCaption(std::string value) { sfx_caption_ = std::move(value); }
  const std::string& SFXCommandLine() const { return sfx_command_line_; }
  void SetSFXCommandLine(std::string value) { sfx_command_line_ = std::move(value); }
  const std::string& SFXDefaultDir() const { return sfx_default_dir_; }
  void SetSFXDefaultDir(std::string value) { sfx_default_dir_ = std::move(value); }
  const std::string& SFXIcon() const { return sfx_icon_; }
  void SetSFXIcon(std::string value) { sfx_icon_ = std::move(value); }
  const std::string& SFXMessage() const { return sfx_message_; }
  void SetSFXMessage(std::string value) { sfx_message_ = std::move(value); }
  const SFXOpts& SFXOptions() const { return sfx_options_; }
  void SetSFXOptions(const SFXOpts& value) { sfx_options_ = value; }
  OvrOpts SFXOverWriteMode() const { return sfx_over_write_mode_; }
  void SetSFXOverWriteMode(OvrOpts value) { sfx_over_write_mode_ = value; }
  const std::string& SFXPath() const { return sfx_path_; }
  void SetSFXPath(std::string value) { sfx_path_ = std::move(value); }

  // --- Run-time state ------------------------------------------------------------------------

  // Identifier of the last message or error (0 = none) and its text.
  int ErrCode() const;
  std::string Message() const;
  // Entries of the directory list; 0 while ZipFileName is empty.
  int Count() const;
  const ZipDirEntry& DirEntry(int index) const;
  const std::vector<ZipDirEntry>& ZipContents() const;
  std::string ZipComment() const;
  // The number of files the last packing or unpacking handled.
  int SuccessCnt() const;
  // Bytes in front of the first entry (a self-extractor stub, for instance).
  std::int64_t SFXOffset() const;
  std::int64_t CentralDirOffset() const;
  std::int64_t ZipEffectiveSize() const;
  int DirOnlyCount() const;
  bool IsSpanned() const;
  bool Busy() const { return busy_; }
  // Set when a call came in while busy; cleared by the next operation's start.
  bool ReEntry() const { return re_entry_; }
  // Asks the running operation to stop at the engine's next question.
  void SetCancel(bool cancel);
  bool Cancel() const;
  // Engine versions while loaded (0 otherwise).
  int UnpackVersion() const;
  int PackVersion() const;

 private:
  // The envelope around every operation: refuses when not permitted, hands the settings to the
  // worker, runs `body` and takes the pattern lists back. False when refused.
  template <typename Body>
  bool Run(Body&& body);
  void StartOperation();
  void FinishOperation();

  std::unique_ptr<TArchiveWorker> worker_;
  bool busy_ = false;
  bool re_entry_ = false;

  bool active_ = true;
  std::int32_t add_comp_level_ = 9;
  platform::DateTime add_from_ = 0;
  AddOpts add_options_;
  AddStoreExts add_store_suffixes_ = DefaultStoreSuffixes();
  CodePageOpts code_page_ = CodePageOpts::cpAuto;
  std::string dll_directory_;
  std::string ext_add_store_suffixes_;
  std::string extr_base_dir_;
  ExtrOpts extr_options_;
  std::vector<std::string> fspec_args_;
  std::vector<std::string> fspec_args_excl_;
  DeleteOpts how_to_delete_ = DeleteOpts::htdAllowUndo;
  std::uint32_t password_req_count_ = 1;
  std::string reference_zip_;
  std::string root_dir_;
  std::string temp_dir_;
  bool trace_ = false;
  bool unattended_ = false;
  bool use_dir_only_entries_ = false;
  bool verbose_ = false;
  std::string password_;
  bool confirm_erase_ = false;
  std::int32_t keep_free_on_all_disks_ = 0;
  std::int32_t keep_free_on_disk1_ = 0;
  std::int64_t max_volume_size_ = 0;
  std::int32_t min_free_volume_size_ = 65536;
  SpanOpts span_options_;
  std::string sfx_caption_;
  std::string sfx_command_line_;
  std::string sfx_default_dir_;
  std::string sfx_icon_;
  std::string sfx_message_;
  SFXOpts sfx_options_;
  OvrOpts sfx_over_write_mode_ = OvrOpts::OvrConfirm;
  std::string sfx_path_;
};

// The component as the program uses it: every property of TCustomArchiver is published.
class TArchiver final : public TCustomArchiver {
 public:
  using TCustomArchiver::TCustomArchiver;
};

}  // namespace korvel

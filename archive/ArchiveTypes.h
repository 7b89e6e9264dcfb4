// Option sets, the directory entry, progress details and event types of the archive component.
#pragma once

#include <cstdint>
#include <functional>
#include <string>

#include "archive/ArchiveMessages.h"
#include "platform/EnumSet.h"

namespace korvel {

// Packing options; the ordinal is the bit the engines see.
enum class AddOptsEnum {
  AddDirNames,
  AddRecurseDirs,
  AddMove,
  AddFreshen,
  AddUpdate,
  AddZipTime,
  AddForceDOS,
  AddHiddenFiles,
  AddArchiveOnly,
  AddResetArchive,
  AddEncrypt,
  AddSeparateDirs,
  AddVolume,
  AddFromDate,
  AddSafe,
  AddForceDest,
  AddDiskSpan,
  AddDiskSpanErase,
};
using AddOpts = EnumSet<AddOptsEnum, 18>;

// Unpacking options.
enum class ExtrOptsEnum {
  ExtrDirNames,
  ExtrOverWrite,
  ExtrFreshen,
  ExtrUpdate,
  ExtrTest,
  ExtrForceDirs
};
using ExtrOpts = EnumSet<ExtrOptsEnum, 6>;

// Suffixes stored without compression; assEXT stands for the text of ExtAddStoreSuffixes.
enum class AddStoreSuffixEnum {
  assGIF,
  assPNG,
  assZ,
  assZIP,
  assZOO,
  assARC,
  assLZH,
  assARJ,
  assTAZ,
  assTGZ,
  assLHA,
  assRAR,
  assACE,
  assCAB,
  assGZ,
  assGZIP,
  assJAR,
  assEXE,
  assEXT,
};
using AddStoreExts = EnumSet<AddStoreSuffixEnum, 19>;

// assGIF to assJAR: the default and the main window's choice.
AddStoreExts DefaultStoreSuffixes();

enum class CodePageOpts { cpAuto, cpNone, cpOEM };
enum class DeleteOpts { htdFinal, htdAllowUndo };

// Multi-disk and self-extractor settings; kept as settings only.
enum class SpanOptsEnum { spNoVolumeName, spCompatName, spWipeFiles, spTryFormat };
using SpanOpts = EnumSet<SpanOptsEnum, 4>;
enum class SFXOptsEnum {
  SFXAskCmdLine,
  SFXAskFiles,
  SFXAutoRun,
  SFXHideOverWriteBox,
  SFXCheckSize,
  SFXNoSuccessMsg,
};
using SFXOpts = EnumSet<SFXOptsEnum, 6>;
enum class OvrOpts { OvrConfirm, OvrAlways, OvrNever };

enum class ProgressType {
  NewFile,
  ProgressUpdate,
  EndOfBatch,
  TotalFiles2Process,
  TotalSize2Process,
  NewExtra,
  ExtraUpdate,
};

// One entry of the archive directory: the central header's fields after its signature (laid out in
// ZipFormat.h), then the name (with the platform separator), the comment, the encryption bit and
// the raw extra field.
struct ZipDirEntry {
  std::uint8_t MadeByVersion = 0;
  std::uint8_t HostVersionNo = 0;  // host system
  std::uint16_t VersionNeeded = 0;
  std::uint16_t Flag = 0;
  std::uint16_t CompressionMethod = 0;
  std::uint32_t DateTime = 0;  // DOS time in the low, date in the high half
  std::uint32_t CRC32 = 0;
  std::uint32_t CompressedSize = 0;
  std::uint32_t UncompressedSize = 0;
  std::uint16_t FileNameLength = 0;
  std::uint16_t ExtraFieldLength = 0;
  std::uint16_t FileCommentLen = 0;
  std::uint16_t StartOnDisk = 0;
  std::uint16_t IntFileAttrib = 0;
  std::uint32_t ExtFileAttrib = 0;
  std::uint32_t RelOffLocalHdr = 0;
  std::string FileName;
  std::string FileComment;
  bool Encrypted = false;
  std::string ExtraData;
};

// Progress counters handed to OnProgressDetails.
struct TProgressDetails {
  ProgressType Kind = ProgressType::EndOfBatch;
  std::string ItemName;
  std::int64_t ItemSize = 0;
  std::int64_t ItemPosition = 0;
  std::int32_t ItemNumber = 0;
  std::int32_t TotalCount = 0;
  std::int64_t TotalSize = 0;
  std::int64_t TotalPosition = 0;

  int ItemPerCent() const;
  int TotalPerCent() const;
};

// Event types. The program assigns none; they exist for callers that want the detail.
using TCheckTerminateEvent = std::function<void(bool& abort)>;
using TItemProgressEvent =
    std::function<void(const std::string& item, std::uint32_t total_size, int per_cent)>;
using TArchiveMessageEvent = std::function<void(int err_code, const std::string& message)>;

// A failure an engine reported, as values a caller can test: the error value (ErrCode's), the
// system's error number when a system call failed (else 0), the entry it concerns (else ""), and
// the message text as OnMessage gives it.
struct ArchiveFailure {
  int code = 0;
  int system_error = 0;
  std::string entry;
  std::string message;
};
using TArchiveFailureEvent = std::function<void(const ArchiveFailure& failure)>;
using TProgressEvent = std::function<void(ProgressType progr_type, const std::string& filename,
                                          std::int64_t file_size)>;
using TProgressDetailsEvent = std::function<void(const TProgressDetails& details)>;
using TTickEvent = std::function<void()>;
using TTotalProgressEvent = std::function<void(std::int64_t total_size, int per_cent)>;
// Replaces the component's box when it sets `result` to 1 .. 10.
using TArchiveDialogEvent = std::function<void(const std::string& title, std::string& msg,
                                               int& result, TArchiveBoxButtons btns)>;
using TCopyZipOverwriteEvent = std::function<void(const std::string& fname, bool& do_overwrite)>;
using TCRC32ErrorEvent = std::function<void(const std::string& fname, std::uint32_t found_crc,
                                            std::uint32_t stored_crc, bool& do_extract)>;
using TDirUpdateEvent = std::function<void()>;
using TExtractOverwriteEvent =
    std::function<void(const std::string& fname, bool is_older, bool& do_overwrite, int index)>;
using TExtractSkippedEvent =
    std::function<void(const std::string& fname, int reason, int err_code)>;
using TFileCommentEvent =
    std::function<void(const std::string& fname, std::string& comment, bool& is_changed)>;
using TFileExtraEvent =
    std::function<void(const std::string& fname, std::string& extra, bool& is_changed)>;
using TNewNameEvent = std::function<void(int seq_no, const ZipDirEntry& zip_entry)>;
using TPasswordErrorEvent =
    std::function<void(bool is_zip_action, std::string& new_password, const std::string& for_file,
                       std::uint32_t& repeat_count, bool& cancel_all)>;
using TSetAddNameEvent =
    std::function<void(std::string& file_name, const std::string& ext_name, bool& is_changed)>;
using TSetExtNameEvent = std::function<void(std::string& file_name, bool& is_changed)>;
using TSetNewNameEvent = std::function<void(std::string& old_file_name, bool& is_changed)>;
using TGetNextDiskEvent =
    std::function<void(int disk_seq_no, int disk_total, std::string drive, bool& abort)>;
using TStatusDiskEvent =
    std::function<void(int previous_disk, std::string volume_name, int status, int& answer)>;

// Every event of the component, copied to the worker at the start of each operation.
struct TArchiveEvents {
  TCheckTerminateEvent OnCheckTerminate;
  TItemProgressEvent OnItemProgress;
  TArchiveMessageEvent OnMessage;
  // Every message that carries an error value, besides OnMessage.
  TArchiveFailureEvent OnFailure;
  TProgressEvent OnProgress;
  TProgressDetailsEvent OnProgressDetails;
  TTickEvent OnTick;
  TTotalProgressEvent OnTotalProgress;
  TArchiveDialogEvent OnZipDialog;
  TArchiveStrEvent OnZipStr;
  TCopyZipOverwriteEvent OnCopyZipOverwrite;
  TCRC32ErrorEvent OnCRC32Error;
  TDirUpdateEvent OnDirUpdate;
  TExtractOverwriteEvent OnExtractOverwrite;
  TExtractSkippedEvent OnExtractSkipped;
  TFileCommentEvent OnFileComment;
  TFileExtraEvent OnFileExtra;
  TNewNameEvent OnNewName;
  TPasswordErrorEvent OnPasswordError;
  TSetAddNameEvent OnSetAddName;
  TSetExtNameEvent OnSetExtName;
  TSetNewNameEvent OnSetNewName;
  TGetNextDiskEvent OnGetNextDisk;
  TStatusDiskEvent OnStatusDisk;
};

}  // namespace korvel

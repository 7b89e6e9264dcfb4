// Message identifiers of the archive component, their texts, and the hooks through which the
// component shows boxes, a wait cursor and lets pending window messages through.
#pragma once

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

#include "platform/EnumSet.h"

namespace korvel {

// Identifiers of the messages the component can produce; the texts are in ArchiveMessages.cpp.
inline constexpr int kArchiveFatalZip = 10101;          // packing ended by a foreign exception
inline constexpr int kArchiveNoZipSpecified = 10102;    // no archive name
inline constexpr int kArchiveNoMemory = 10103;          // out of memory reading the directory
inline constexpr int kArchivePasswordMismatch = 10104;  // the two password entries differ
inline constexpr int kArchiveHandlerException = 10106;  // callback answer: an event handler raised
inline constexpr int kArchiveEventException = 10113;    // "Exception in Event "
inline constexpr int kEngineResultAbort = 10118;
inline constexpr int kEngineResultBusy = 10119;
inline constexpr int kEngineResultCancelled = 10120;
inline constexpr int kEngineResultNoMemory = 10121;
inline constexpr int kEngineResultBadStructure = 10122;
inline constexpr int kEngineResultHandlerException = 10123;
inline constexpr int kEngineResultCritical = 10124;
inline constexpr int kArchiveSkipped = 10125;
inline constexpr int kArchiveNoAddPassword = 10150;
inline constexpr int kArchiveNoExtractPassword = 10151;
inline constexpr int kArchiveSeekError = 10201;
inline constexpr int kArchiveListError = 10202;
inline constexpr int kArchiveStructureWarning = 10203;
inline constexpr int kArchiveGarbageWarning = 10204;
inline constexpr int kArchiveButtonFirst =
    10220;  // "&Yes" .. "YesToAll" follow in TArchiveBoxButton order
inline constexpr int kArchiveNothingToZip = 10301;
inline constexpr int kArchiveUnattendedNoPassword = 10302;
inline constexpr int kArchiveNoDestinationDir = 10308;
inline constexpr int kArchiveFatalUnz = 10501;
inline constexpr int kArchiveUnattendedExtract = 10502;
inline constexpr int kArchiveNoExtractDir = 10504;
inline constexpr int kArchiveLoadFailed = 10650;
inline constexpr int kArchiveLibOldOrCorrupt = 10651;
inline constexpr int kArchiveFileOpen = 11002;
inline constexpr int kArchiveInvalidDrive = 11003;
inline constexpr int kArchiveDriveUndefined = 11004;
inline constexpr int kArchiveUserCancelled = 11007;
inline constexpr int kArchiveCentralHeaderRead = 11013;
inline constexpr int kArchiveCentralSignature = 11015;
inline constexpr int kArchiveCentralNameRead = 11017;
inline constexpr int kArchiveCommentRead = 11022;
inline constexpr int kArchiveInsertLastDisk = 11033;
inline constexpr int kArchiveNotValidZip = 11036;
inline constexpr int kArchiveLoadingDirectory = 11409;

// The built-in text of `ident`, or nothing.
std::optional<std::string> BuiltInArchiveText(int ident);

// The text of `ident`: the OnZipStr hook when it supplies one, else the built-in text, else a
// note that names the missing identifier.
std::string ArchiveLoadStr(int ident);
// Like ArchiveLoadStr, but nothing when neither the hook nor the table has a text.
std::optional<std::string> FindArchiveText(int ident);

// Fills the "%s" and "%d" of `text` in order with `args` ("%%" is a percent sign). Texts may come
// from language hooks, so nothing here trusts them the way printf would.
std::string FormatArchiveText(std::string_view text, std::initializer_list<std::string_view> args);
std::string ArchiveFmtLoadStr(int ident, std::initializer_list<std::string_view> args);

// Supplies a message text: left empty, the component takes its own.
using TArchiveStrEvent = std::function<void(int ident, std::string& def_str)>;

// The process-wide text hook; the running component installs its OnZipStr at every operation.
void SetArchiveStrHook(TArchiveStrEvent hook);

// The component's error: a message text, its identifier, and whether it is to be shown.
class EArchiveError : public std::exception {
 public:
  // The text of `ident`.
  explicit EArchiveError(int ident, bool display = true);
  // The text of `ident` formatted with a file name (or another text argument).
  EArchiveError(int ident, std::string_view argument, bool display = true);
  // Keeps a literal argument from converting to the `display` flag.
  EArchiveError(int ident, const char* argument, bool display = true)
      : EArchiveError(ident, std::string_view(argument), display) {}
  // The text of a drive-related `ident` formatted with the drive.
  static EArchiveError ForDrive(int ident, std::string_view drive);
  // The text of a disk-related `ident` formatted with the disk number.
  static EArchiveError ForDisk(int ident, int disk);
  // A ready text with an identifier, for engine results and the like.
  static EArchiveError WithText(int ident, std::string text, bool display = true);

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  int Ident() const { return ident_; }
  bool Display() const { return display_; }

 private:
  EArchiveError() = default;

  std::string message_;
  int ident_ = 0;
  bool display_ = true;
};

// What a box shows; the icon follows the kind.
enum class TArchiveBoxKind {
  kWarning = 0,
  kError = 1,
  kInformation = 2,
  kQuestion = 3,
  kPassword = 4
};

// Box buttons; their captions are the texts 10220 to 10229 in this order.
enum class TArchiveBoxButton {
  Yes,
  No,
  OK,
  Cancel,
  Abort,
  Retry,
  Ignore,
  CancelAll,
  NoToAll,
  YesToAll
};
using TArchiveBoxButtons = EnumSet<TArchiveBoxButton, 10>;

// Modal results of a box, 1 to 10.
enum : int {
  kArchiveMrOk = 1,
  kArchiveMrCancel = 2,
  kArchiveMrAbort = 3,
  kArchiveMrRetry = 4,
  kArchiveMrIgnore = 5,
  kArchiveMrYes = 6,
  kArchiveMrNo = 7,
  kArchiveMrCancelAll = 8,
  kArchiveMrNoToAll = 9,
  kArchiveMrYesToAll = 10,
};

// One box to show.
struct TArchiveBoxRequest {
  std::string Caption;
  std::string Message;
  TArchiveBoxKind Kind = TArchiveBoxKind::kInformation;
  TArchiveBoxButtons Buttons;
  std::string Password = {};  // the password box's entry, in and out
};

// The user-interface services of the archive component. The program installs Qt versions; the
// defaults suit a program without windows: boxes go to stderr, the rest does nothing.
struct TArchiveUiHooks {
  // Shows a modal box and returns its modal result (1 to 10).
  std::function<int(TArchiveBoxRequest& request)> ShowDialog;
  // Shows (true) or restores (false) the wait cursor; calls are never nested.
  std::function<void(bool wait)> SetWaitCursor;
  // Lets pending window messages through.
  std::function<void()> ProcessMessages;
  // The caption of boxes that have none of their own.
  std::string ApplicationTitle = "Korvel";
  // The application's main window, handed to the engines for dialogs of their own.
  void* ApplicationWindow = nullptr;
};

// Installs the hooks; empty members fall back to the defaults.
void SetArchiveUiHooks(TArchiveUiHooks hooks);
const TArchiveUiHooks& ArchiveUiHooks();

// The component's own box: asks the installed hook, or prints to stderr and answers with the
// first offered button (Cancel for a password).
class TArchiveBox {
 public:
  static int Show(TArchiveBoxRequest& request);
};

// True on the thread that started the program; only there may the component touch the cursor
// or process window messages.
bool OnZipMainThread();

}  // namespace korvel

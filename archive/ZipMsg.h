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

// Identifiers of the messages the component can produce; the texts are in ZipMsg.cpp.
inline constexpr int kZipFatalZip = 10101;          // packing ended by a foreign exception
inline constexpr int kZipNoZipSpecified = 10102;    // no archive name
inline constexpr int kZipNoMemory = 10103;          // out of memory reading the directory
inline constexpr int kZipPasswordMismatch = 10104;  // the two password entries differ
inline constexpr int kZipHandlerException = 10106;  // callback answer: an event handler raised
inline constexpr int kZipEventException = 10113;    // "Exception in Event "
inline constexpr int kZipDllAbort = 10118;
inline constexpr int kZipDllBusy = 10119;
inline constexpr int kZipDllCancelled = 10120;
inline constexpr int kZipDllNoMemory = 10121;
inline constexpr int kZipDllBadStructure = 10122;
inline constexpr int kZipDllHandlerException = 10123;
inline constexpr int kZipDllCritical = 10124;
inline constexpr int kZipSkipped = 10125;
inline constexpr int kZipNoAddPassword = 10150;
inline constexpr int kZipNoExtractPassword = 10151;
inline constexpr int kZipSeekError = 10201;
inline constexpr int kZipListError = 10202;
inline constexpr int kZipStructureWarning = 10203;
inline constexpr int kZipGarbageWarning = 10204;
inline constexpr int kZipButtonFirst = 10220;  // "&Yes" .. "YesToAll" follow in TZipDlgButton order
inline constexpr int kZipNothingToZip = 10301;
inline constexpr int kZipUnattendedNoPassword = 10302;
inline constexpr int kZipNoDestinationDir = 10308;
inline constexpr int kZipFatalUnz = 10501;
inline constexpr int kZipUnattendedExtract = 10502;
inline constexpr int kZipNoExtractDir = 10504;
inline constexpr int kZipLoadFailed = 10650;
inline constexpr int kZipLibOldOrCorrupt = 10651;
inline constexpr int kZipFileOpen = 11002;
inline constexpr int kZipInvalidDrive = 11003;
inline constexpr int kZipDriveUndefined = 11004;
inline constexpr int kZipUserCancelled = 11007;
inline constexpr int kZipCentralHeaderRead = 11013;
inline constexpr int kZipCentralSignature = 11015;
inline constexpr int kZipCentralNameRead = 11017;
inline constexpr int kZipCommentRead = 11022;
inline constexpr int kZipInsertLastDisk = 11033;
inline constexpr int kZipNotValidZip = 11036;
inline constexpr int kZipLoadingDirectory = 11409;

// The built-in text of `ident`, or nothing.
std::optional<std::string> BuiltInZipText(int ident);

// The text of `ident`: the OnZipStr hook when it supplies one, else the built-in text, else a
// note that names the missing identifier.
std::string ZipLoadStr(int ident);
// Like ZipLoadStr, but nothing when neither the hook nor the table has a text.
std::optional<std::string> FindZipText(int ident);

// Fills the "%s" and "%d" of `text` in order with `args` ("%%" is a percent sign). Texts may come
// from language hooks, so nothing here trusts them the way printf would.
std::string FormatZipText(std::string_view text, std::initializer_list<std::string_view> args);
std::string ZipFmtLoadStr(int ident, std::initializer_list<std::string_view> args);

// Supplies a message text: left empty, the component takes its own.
using TZipStrEvent = std::function<void(int ident, std::string& def_str)>;

// The process-wide text hook; the running component installs its OnZipStr at every operation.
void SetZipStrHook(TZipStrEvent hook);

// The component's error: a message text, its identifier, and whether it is to be shown.
class EZipMaster : public std::exception {
 public:
  // The text of `ident`.
  explicit EZipMaster(int ident, bool display = true);
  // The text of `ident` formatted with a file name (or another text argument).
  EZipMaster(int ident, std::string_view argument, bool display = true);
  // Keeps a literal argument from converting to the `display` flag.
  EZipMaster(int ident, const char* argument, bool display = true)
      : EZipMaster(ident, std::string_view(argument), display) {}
  // The text of a drive-related `ident` formatted with the drive.
  static EZipMaster ForDrive(int ident, std::string_view drive);
  // The text of a disk-related `ident` formatted with the disk number.
  static EZipMaster ForDisk(int ident, int disk);
  // A ready text with an identifier, for engine results and the like.
  static EZipMaster WithText(int ident, std::string text, bool display = true);

  const char* what() const noexcept override { return message_.c_str(); }
  const std::string& Message() const { return message_; }
  void SetMessage(std::string message) { message_ = std::move(message); }
  int Ident() const { return ident_; }
  bool Display() const { return display_; }

 private:
  EZipMaster() = default;

  std::string message_;
  int ident_ = 0;
  bool display_ = true;
};

// What a box shows; the icon follows the kind.
enum class TZipDlgKind { kWarning = 0, kError = 1, kInformation = 2, kQuestion = 3, kPassword = 4 };

// Box buttons; their captions are the texts 10220 to 10229 in this order.
enum class TZipDlgButton {
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
using TZipDlgButtons = EnumSet<TZipDlgButton, 10>;

// Modal results of a box, 1 to 10.
enum : int {
  kZipMrOk = 1,
  kZipMrCancel = 2,
  kZipMrAbort = 3,
  kZipMrRetry = 4,
  kZipMrIgnore = 5,
  kZipMrYes = 6,
  kZipMrNo = 7,
  kZipMrCancelAll = 8,
  kZipMrNoToAll = 9,
  kZipMrYesToAll = 10,
};

// One box to show.
struct TZipDialogRequest {
  std::string Caption;
  std::string Message;
  TZipDlgKind Kind = TZipDlgKind::kInformation;
  TZipDlgButtons Buttons;
  std::string Password = {};  // the password box's entry, in and out
};

// The user-interface services of the archive component. The program installs Qt versions; the
// defaults suit a program without windows: boxes go to stderr, the rest does nothing.
struct TZipUiHooks {
  // Shows a modal box and returns its modal result (1 to 10).
  std::function<int(TZipDialogRequest& request)> ShowDialog;
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
void SetZipUiHooks(TZipUiHooks hooks);
const TZipUiHooks& ZipUiHooks();

// The component's own box: asks the installed hook, or prints to stderr and answers with the
// first offered button (Cancel for a password).
class TZipDialogBox {
 public:
  static int Show(TZipDialogRequest& request);
};

// True on the thread that started the program; only there may the component touch the cursor
// or process window messages.
bool OnZipMainThread();

}  // namespace korvel

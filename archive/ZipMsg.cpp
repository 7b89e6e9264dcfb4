// The archive component's message texts, their lookup and formatting, its error type and box.
#include "archive/ZipMsg.h"

#include <algorithm>
#include <array>
#include <iostream>
#include <thread>
#include <utility>

namespace korvel {
namespace {

struct ZipText {
  int ident;
  const char* text;
};

// Texts of every message the program's archive operations can produce, by identifier.
constexpr std::array kZipTexts{
    ZipText{10101, "Fatal Error in ZipDLL.DLL: abort exception"},
    ZipText{10102, "Error - no zip file specified!"},
    ZipText{10103, "Requested memory not available"},
    ZipText{10104, "Error - passwords do NOT match\nPassword ignored"},
    ZipText{10113, "Exception in Event "},
    ZipText{10118, "DLL Error - Aborting"},
    ZipText{10119, "DLL Error - Busy"},
    ZipText{10120, "DLL Error - User Cancelled"},
    ZipText{10121, "DLL Error - Not enough memory"},
    ZipText{10122, "DLL Error - Invalid structure"},
    ZipText{10123, "DLL Error - Exception in handler "},
    ZipText{10124, "critical DLL Error %d"},
    ZipText{10125, "Skipped %s %d"},
    ZipText{10150, "Error - no add password given"},
    ZipText{10151, "Error - no extract password given"},
    ZipText{10201, "Seek error reading Zip archive!"},
    ZipText{10202, "Unknown error in List() function\n"},
    ZipText{10203, "Warning - Error in zip structure!"},
    ZipText{10204, "Warning - Garbage at the end of the zipfile!"},
    ZipText{10220, "&Yes"},
    ZipText{10221, "&No"},
    ZipText{10222, "&OK"},
    ZipText{10223, "&Cancel"},
    ZipText{10224, "&Abort"},
    ZipText{10225, "&Retry"},
    ZipText{10226, "&Ignore"},
    ZipText{10227, "CancelAll"},
    ZipText{10228, "NoToAll"},
    ZipText{10229, "YesToAll"},
    ZipText{10301, "Error - no files to zip!"},
    ZipText{10302, "Unattended action not possible without a password"},
    ZipText{10308, "Destination directory '%s' must exist!"},
    ZipText{10501, "Fatal Error in UnzDLL.DLL: abort exception"},
    ZipText{10502, "Warning - Unattended Extract: possible not all files extracted"},
    ZipText{10504, "Extract directory '%s' must exist"},
    ZipText{10650, "Failed to load %s"},
    ZipText{10651, "Unable to load %s - It is old or corrupt"},
    ZipText{11002, "Zip file could not be opened"},
    ZipText{11003, "Not a valid drive: %s"},
    ZipText{11004, "Drive %s is NOT defined"},
    ZipText{11007, "User canceled operation"},
    ZipText{11013, "Error while reading a central header"},
    ZipText{11015, "A central header signature is wrong"},
    ZipText{11017, "Error while reading a central file name"},
    ZipText{11022, "Error while reading a file comment"},
    ZipText{11033, "Please insert last disk"},
    ZipText{11036, "This archive is not a valid Zip archive"},
    ZipText{11409, "*Loading Directory"},
};

constexpr std::string_view kMissingNote = "\nZipMsgXX.res is probably not linked to the executable";

TZipStrEvent& StrHook() {
  static TZipStrEvent hook;
  return hook;
}

TZipUiHooks& Hooks() {
  static TZipUiHooks hooks;
  return hooks;
}

// Static initialisation runs on the thread that starts the program.
const std::thread::id kMainThread = std::this_thread::get_id();

int DefaultResult(const TZipDialogRequest& request) {
  if (request.Kind == TZipDlgKind::kPassword) return kZipMrCancel;
  constexpr std::array<std::pair<TZipDlgButton, int>, 10> kOrder{{
      {TZipDlgButton::OK, kZipMrOk},
      {TZipDlgButton::Yes, kZipMrYes},
      {TZipDlgButton::No, kZipMrNo},
      {TZipDlgButton::Cancel, kZipMrCancel},
      {TZipDlgButton::Abort, kZipMrAbort},
      {TZipDlgButton::Retry, kZipMrRetry},
      {TZipDlgButton::Ignore, kZipMrIgnore},
      {TZipDlgButton::CancelAll, kZipMrCancelAll},
      {TZipDlgButton::NoToAll, kZipMrNoToAll},
      {TZipDlgButton::YesToAll, kZipMrYesToAll},
  }};
  for (const auto& [button, result] : kOrder)
    if (request.Buttons.Contains(button)) return result;
  return kZipMrOk;
}

}  // namespace

std::optional<std::string> BuiltInZipText(int ident) {
  auto it = std::find_if(kZipTexts.begin(), kZipTexts.end(),
                         [ident](const ZipText& t) { return t.ident == ident; });
  if (it == kZipTexts.end()) return std::nullopt;
  return std::string(it->text);
}

std::optional<std::string> FindZipText(int ident) {
  if (const TZipStrEvent& hook = StrHook()) {
    std::string text;
    hook(ident, text);
    if (!text.empty()) return text;
  }
  return BuiltInZipText(ident);
}

std::string ZipLoadStr(int ident) {
  if (auto text = FindZipText(ident)) return *text;
  return FormatZipText(
      "ZipMsgXX.res is probably not linked to the executable\nMissing String ID is: %d ",
      {std::to_string(ident)});
}

std::string FormatZipText(std::string_view text, std::initializer_list<std::string_view> args) {
  std::string out;
  out.reserve(text.size());
  auto arg = args.begin();
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '%' && i + 1 < text.size()) {
      char kind = text[i + 1];
      if (kind == '%') {
        out += '%';
        ++i;
        continue;
      }
      if (kind == 's' || kind == 'd') {
        if (arg != args.end()) out += *arg++;
        ++i;
        continue;
      }
    }
    out += text[i];
  }
  return out;
}

std::string ZipFmtLoadStr(int ident, std::initializer_list<std::string_view> args) {
  return FormatZipText(ZipLoadStr(ident), args);
}

void SetZipStrHook(TZipStrEvent hook) {
  StrHook() = std::move(hook);
}

EZipMaster::EZipMaster(int ident, bool display) : ident_(ident), display_(display) {
  if (auto text = FindZipText(ident))
    message_ = *text;
  else
    message_ = FormatZipText("id = %d %s", {std::to_string(ident), kMissingNote});
}

EZipMaster::EZipMaster(int ident, std::string_view argument, bool display)
    : ident_(ident), display_(display) {
  if (auto text = FindZipText(ident))
    message_ = FormatZipText(*text, {argument});
  else
    message_ = FormatZipText("id = %d %s", {std::to_string(ident), kMissingNote});
}

EZipMaster EZipMaster::ForDrive(int ident, std::string_view drive) {
  EZipMaster e;
  e.ident_ = ident;
  if (auto text = FindZipText(ident))
    e.message_ = FormatZipText(*text, {drive});
  else
    e.message_ =
        FormatZipText("id = %d [drive = %s]%s", {std::to_string(ident), drive, kMissingNote});
  return e;
}

EZipMaster EZipMaster::ForDisk(int ident, int disk) {
  EZipMaster e;
  e.ident_ = ident;
  std::string number = std::to_string(disk);
  if (auto text = FindZipText(ident))
    e.message_ = FormatZipText(*text, {number});
  else
    e.message_ =
        FormatZipText("id = %d [disk = %d]%s", {std::to_string(ident), number, kMissingNote});
  return e;
}

EZipMaster EZipMaster::WithText(int ident, std::string text, bool display) {
  EZipMaster e;
  e.ident_ = ident;
  e.message_ = std::move(text);
  e.display_ = display;
  return e;
}

void SetZipUiHooks(TZipUiHooks hooks) {
  Hooks() = std::move(hooks);
}

const TZipUiHooks& ZipUiHooks() {
  return Hooks();
}

int TZipDialogBox::Show(TZipDialogRequest& request) {
  if (request.Caption.empty()) request.Caption = Hooks().ApplicationTitle;
  if (Hooks().ShowDialog) {
    int result = Hooks().ShowDialog(request);
    if (result >= kZipMrOk && result <= kZipMrYesToAll) return result;
    return kZipMrCancel;
  }
  std::cerr << request.Caption << ": " << request.Message << '\n';
  return DefaultResult(request);
}

bool OnZipMainThread() {
  return std::this_thread::get_id() == kMainThread;
}

}  // namespace korvel

// The archive component's message texts, their lookup and formatting, its error type and box.
#include "archive/ArchiveMessages.h"

#include <algorithm>
#include <array>
#include <iostream>
#include <thread>
#include <utility>

namespace korvel {
namespace {

struct ArchiveText {
  int ident;
  const char* text;
};

// Texts of every message the program's archive operations can produce, by identifier.
constexpr std::array kArchiveTexts{
    ArchiveText{10101, "Fatal Error in PackEng.dll: abort exception"},
    ArchiveText{10102, "Error - no zip file specified!"},
    ArchiveText{10103, "Requested memory not available"},
    ArchiveText{10104, "Error - passwords do NOT match\nPassword ignored"},
    ArchiveText{10113, "Exception in Event "},
    ArchiveText{10118, "DLL Error - Aborting"},
    ArchiveText{10119, "DLL Error - Busy"},
    ArchiveText{10120, "DLL Error - User Cancelled"},
    ArchiveText{10121, "DLL Error - Not enough memory"},
    ArchiveText{10122, "DLL Error - Invalid structure"},
    ArchiveText{10123, "DLL Error - Exception in handler "},
    ArchiveText{10124, "critical DLL Error %d"},
    ArchiveText{10125, "Skipped %s %d"},
    ArchiveText{10150, "Error - no add password given"},
    ArchiveText{10151, "Error - no extract password given"},
    ArchiveText{10201, "Seek error reading Zip archive!"},
    ArchiveText{10202, "Unknown error in List() function\n"},
    ArchiveText{10203, "Warning - Error in zip structure!"},
    ArchiveText{10204, "Warning - Garbage at the end of the zipfile!"},
    ArchiveText{10220, "&Yes"},
    ArchiveText{10221, "&No"},
    ArchiveText{10222, "&OK"},
    ArchiveText{10223, "&Cancel"},
    ArchiveText{10224, "&Abort"},
    ArchiveText{10225, "&Retry"},
    ArchiveText{10226, "&Ignore"},
    ArchiveText{10227, "CancelAll"},
    ArchiveText{10228, "NoToAll"},
    ArchiveText{10229, "YesToAll"},
    ArchiveText{10301, "Error - no files to zip!"},
    ArchiveText{10302, "Unattended action not possible without a password"},
    ArchiveText{10308, "Destination directory '%s' must exist!"},
    ArchiveText{10501, "Fatal Error in UnpkEng.dll: abort exception"},
    ArchiveText{10502, "Warning - Unattended Extract: possible not all files extracted"},
    ArchiveText{10504, "Extract directory '%s' must exist"},
    ArchiveText{10650, "Failed to load %s"},
    ArchiveText{10651, "Unable to load %s - It is old or corrupt"},
    ArchiveText{11002, "Zip file could not be opened"},
    ArchiveText{11003, "Not a valid drive: %s"},
    ArchiveText{11004, "Drive %s is NOT defined"},
    ArchiveText{11007, "User canceled operation"},
    ArchiveText{11013, "Error while reading a central header"},
    ArchiveText{11015, "A central header signature is wrong"},
    ArchiveText{11017, "Error while reading a central file name"},
    ArchiveText{11022, "Error while reading a file comment"},
    ArchiveText{11033, "Please insert last disk"},
    ArchiveText{11036, "This archive is not a valid Zip archive"},
    ArchiveText{11409, "*Loading Directory"},
};

constexpr std::string_view kMissingNote =
    "\nArchiveMsgXX.res is probably not linked to the executable";

TArchiveStrEvent& StrHook() {
  static TArchiveStrEvent hook;
  return hook;
}

TArchiveUiHooks& Hooks() {
  static TArchiveUiHooks hooks;
  return hooks;
}

// Static initialisation runs on the thread that starts the program.
const std::thread::id kMainThread = std::this_thread::get_id();

int DefaultResult(const TArchiveBoxRequest& request) {
  if (request.Kind == TArchiveBoxKind::kPassword) return kArchiveMrCancel;
  constexpr std::array<std::pair<TArchiveBoxButton, int>, 10> kOrder{{
      {TArchiveBoxButton::OK, kArchiveMrOk},
      {TArchiveBoxButton::Yes, kArchiveMrYes},
      {TArchiveBoxButton::No, kArchiveMrNo},
      {TArchiveBoxButton::Cancel, kArchiveMrCancel},
      {TArchiveBoxButton::Abort, kArchiveMrAbort},
      {TArchiveBoxButton::Retry, kArchiveMrRetry},
      {TArchiveBoxButton::Ignore, kArchiveMrIgnore},
      {TArchiveBoxButton::CancelAll, kArchiveMrCancelAll},
      {TArchiveBoxButton::NoToAll, kArchiveMrNoToAll},
      {TArchiveBoxButton::YesToAll, kArchiveMrYesToAll},
  }};
  for (const auto& [button, result] : kOrder)
    if (request.Buttons.Contains(button)) return result;
  return kArchiveMrOk;
}

}  // namespace

std::optional<std::string> BuiltInArchiveText(int ident) {
  auto it = std::find_if(kArchiveTexts.begin(), kArchiveTexts.end(),
                         [ident](const ArchiveText& t) { return t.ident == ident; });
  if (it == kArchiveTexts.end()) return std::nullopt;
  return std::string(it->text);
}

std::optional<std::string> FindArchiveText(int ident) {
  if (const TArchiveStrEvent& hook = StrHook()) {
    std::string text;
    hook(ident, text);
    if (!text.empty()) return text;
  }
  return BuiltInArchiveText(ident);
}

std::string ArchiveLoadStr(int ident) {
  if (auto text = FindArchiveText(ident)) return *text;
  return FormatArchiveText(
      "ArchiveMsgXX.res is probably not linked to the executable\nMissing String ID is: %d ",
      {std::to_string(ident)});
}

std::string FormatArchiveText(std::string_view text, std::initializer_list<std::string_view> args) {
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

std::string ArchiveFmtLoadStr(int ident, std::initializer_list<std::string_view> args) {
  return FormatArchiveText(ArchiveLoadStr(ident), args);
}

void SetArchiveStrHook(TArchiveStrEvent hook) {
  StrHook() = std::move(hook);
}

EArchiveError::EArchiveError(int ident, bool display) : ident_(ident), display_(display) {
  if (auto text = FindArchiveText(ident))
    message_ = *text;
  else
    message_ = FormatArchiveText("id = %d %s", {std::to_string(ident), kMissingNote});
}

EArchiveError::EArchiveError(int ident, std::string_view argument, bool display)
    : ident_(ident), display_(display) {
  if (auto text = FindArchiveText(ident))
    message_ = FormatArchiveText(*text, {argument});
  else
    message_ = FormatArchiveText("id = %d %s", {std::to_string(ident), kMissingNote});
}

EArchiveError EArchiveError::ForDrive(int ident, std::string_view drive) {
  EArchiveError e;
  e.ident_ = ident;
  if (auto text = FindArchiveText(ident))
    e.message_ = FormatArchiveText(*text, {drive});
  else
    e.message_ =
        FormatArchiveText("id = %d [drive = %s]%s", {std::to_string(ident), drive, kMissingNote});
  return e;
}

EArchiveError EArchiveError::ForDisk(int ident, int disk) {
  EArchiveError e;
  e.ident_ = ident;
  std::string number = std::to_string(disk);
  if (auto text = FindArchiveText(ident))
    e.message_ = FormatArchiveText(*text, {number});
  else
    e.message_ =
        FormatArchiveText("id = %d [disk = %d]%s", {std::to_string(ident), number, kMissingNote});
  return e;
}

EArchiveError EArchiveError::WithText(int ident, std::string text, bool display) {
  EArchiveError e;
  e.ident_ = ident;
  e.message_ = std::move(text);
  e.display_ = display;
  return e;
}

void SetArchiveUiHooks(TArchiveUiHooks hooks) {
  Hooks() = std::move(hooks);
}

const TArchiveUiHooks& ArchiveUiHooks() {
  return Hooks();
}

int TArchiveBox::Show(TArchiveBoxRequest& request) {
  if (request.Caption.empty()) request.Caption = Hooks().ApplicationTitle;
  if (Hooks().ShowDialog) {
    int result = Hooks().ShowDialog(request);
    if (result >= kArchiveMrOk && result <= kArchiveMrYesToAll) return result;
    return kArchiveMrCancel;
  }
  std::cerr << request.Caption << ": " << request.Message << '\n';
  return DefaultResult(request);
}

bool OnZipMainThread() {
  return std::this_thread::get_id() == kMainThread;
}

}  // namespace korvel

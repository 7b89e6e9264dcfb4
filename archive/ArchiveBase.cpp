// TArchiveBase: reporting, boxes, progress counters and the wait cursor.
#include "archive/ArchiveBase.h"

#include <algorithm>
#include <cstdint>

namespace korvel {

int TProgressDetails::ItemPerCent() const {
  if (ItemSize <= 0) return 0;
  return static_cast<int>(std::clamp<std::int64_t>(ItemPosition * 100 / ItemSize, 0, 100));
}

int TProgressDetails::TotalPerCent() const {
  if (TotalSize <= 0) return 0;
  return static_cast<int>(std::clamp<std::int64_t>(TotalPosition * 100 / TotalSize, 0, 100));
}

AddStoreExts DefaultStoreSuffixes() {
  AddStoreExts set;
  for (int i = static_cast<int>(AddStoreSuffixEnum::assGIF);
       i <= static_cast<int>(AddStoreSuffixEnum::assJAR); ++i)
    set.Include(static_cast<AddStoreSuffixEnum>(i));
  return set;
}

void TArchiveBase::ClearError() {
  SetErrorState(0, {});
}

void TArchiveBase::SetErrorState(int ident, std::string message, int full) {
  err_code_ = ident;
  full_err_code_ = full;
  message_ = std::move(message);
}

void TArchiveBase::ShowArchiveMessage(int ident, std::string_view extra) {
  std::string text = ident != 0 ? ArchiveLoadStr(ident) : std::string();
  text += extra;
  if (ident != 0) SetErrorState(ident, text);
  if (!unattended_) {
    std::string msg = text;
    std::string caption = verbose_ && ident != 0 ? "Message (" + std::to_string(ident) + ")" : "";
    ArchiveMessageDialog(caption, msg, TArchiveBoxKind::kInformation, {TArchiveBoxButton::OK});
  }
  SendMessage(ident, text);
}

void TArchiveBase::VerboseNote(std::string_view text) {
  if (verbose_) ShowArchiveMessage(0, text);
}

void TArchiveBase::ShowExceptionError(const EArchiveError& error) {
  SetErrorState(error.Ident(), error.Message());
  if (error.Display() && !unattended_) {
    std::string msg = error.Message();
    std::string caption = verbose_ ? "Error (" + std::to_string(error.Ident()) + ")" : "";
    ArchiveMessageDialog(caption, msg, TArchiveBoxKind::kError, {TArchiveBoxButton::OK});
  }
  SendMessage(error.Ident(), error.Message());
}

void TArchiveBase::SendMessage(int ident, const std::string& text) {
  if (events_.OnMessage) events_.OnMessage(ident, text);
}

int TArchiveBase::ArchiveMessageDialog(const std::string& title, std::string& msg,
                                       TArchiveBoxKind kind, TArchiveBoxButtons buttons) {
  if (events_.OnZipDialog) {
    int result = 0;
    events_.OnZipDialog(title, msg, result, buttons);
    if (result >= kArchiveMrOk && result <= kArchiveMrYesToAll) return result;
  }
  if (unattended_) return 0;
  TArchiveBoxRequest request;
  request.Caption = title;
  request.Message = msg;
  request.Kind = kind;
  request.Buttons = buttons;
  int result = TArchiveBox::Show(request);
  if (kind == TArchiveBoxKind::kPassword) msg = request.Password;
  return result;
}

void TArchiveBase::StartWaitCursor() {
  if (!on_main_thread_) return;
  if (cursor_depth_++ == 0 && ArchiveUiHooks().SetWaitCursor) ArchiveUiHooks().SetWaitCursor(true);
}

void TArchiveBase::StopWaitCursor() {
  if (!on_main_thread_ || cursor_depth_ == 0) return;
  if (--cursor_depth_ == 0 && ArchiveUiHooks().SetWaitCursor) ArchiveUiHooks().SetWaitCursor(false);
}

void TArchiveBase::ReportProgress(ProgressType kind, const std::string& item, std::int64_t size) {
  TProgressDetails& p = progress_;
  p.Kind = kind;
  switch (kind) {
    case ProgressType::TotalFiles2Process:
      p.TotalCount = static_cast<std::int32_t>(size);
      p.ItemNumber = 0;
      break;
    case ProgressType::TotalSize2Process:
      p.TotalSize = size;
      p.TotalPosition = 0;
      break;
    case ProgressType::NewFile:
    case ProgressType::NewExtra:
      p.ItemName = item;
      p.ItemSize = size;
      p.ItemPosition = 0;
      if (kind == ProgressType::NewFile) ++p.ItemNumber;
      break;
    case ProgressType::ProgressUpdate:
      p.ItemPosition += size;
      p.TotalPosition += size;
      break;
    case ProgressType::ExtraUpdate:
      p.ItemPosition += size;
      break;
    case ProgressType::EndOfBatch:
      p.ItemName.clear();
      p.ItemSize = p.ItemPosition = 0;
      break;
  }
  if (events_.OnProgress) events_.OnProgress(kind, item, size);
  if (kind == ProgressType::ProgressUpdate || kind == ProgressType::ExtraUpdate) {
    if (events_.OnItemProgress)
      events_.OnItemProgress(p.ItemName, static_cast<std::uint32_t>(p.ItemSize), p.ItemPerCent());
    if (kind == ProgressType::ProgressUpdate && events_.OnTotalProgress)
      events_.OnTotalProgress(p.TotalSize, p.TotalPerCent());
  }
  if (events_.OnProgressDetails) events_.OnProgressDetails(p);
}

}  // namespace korvel

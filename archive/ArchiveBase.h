// TArchiveBase: the worker's base, with the error state, the two reporting paths, boxes, progress
// bookkeeping, the wait cursor and the engine-library folder.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "archive/ArchiveMessages.h"
#include "archive/ArchiveTypes.h"

namespace korvel {

class TArchiveBase {
 public:
  TArchiveBase() = default;
  virtual ~TArchiveBase() = default;
  TArchiveBase(const TArchiveBase&) = delete;
  TArchiveBase& operator=(const TArchiveBase&) = delete;

  // Identifier of the last message or error, 0 for none, and the text beside it.
  int ErrCode() const { return err_code_; }
  const std::string& Message() const { return message_; }
  // The full error value of the last engine message (ErrCode keeps its low byte).
  int FullErrCode() const { return full_err_code_; }
  void ClearError();

  bool Unattended() const { return unattended_; }
  void SetUnattended(bool value) { unattended_ = value; }
  bool Verbose() const { return verbose_; }
  void SetVerbose(bool value) { verbose_ = value; }
  bool Trace() const { return trace_; }
  void SetTrace(bool value) { trace_ = value; }
  // Where the engine libraries are looked for; empty for the program's folder.
  const std::string& DLLDirectory() const { return dll_directory_; }
  void SetDLLDirectory(std::string value) { dll_directory_ = std::move(value); }

  // The plain path: `ident` (0 for a note without one) and its text, with `extra` appended,
  // become the error state; unless Unattended an information box shows it; then OnMessage.
  // Notes without an identifier (the verbose ones) leave the error state alone.
  void ShowArchiveMessage(int ident, std::string_view extra = {});
  // A verbose note: sent through the plain path only when Verbose is on.
  void VerboseNote(std::string_view text);
  // The error path: the error's identifier and text become the error state; an error box shows
  // it when it is to be shown and Unattended is off; then OnMessage.
  void ShowExceptionError(const EArchiveError& error);

  // Asks OnZipDialog, then the component's box. Returns the modal result, or 0 when unattended.
  // For a password box `msg` is the prompt going in and the entry coming out.
  int ArchiveMessageDialog(const std::string& title, std::string& msg, TArchiveBoxKind kind,
                           TArchiveBoxButtons buttons);

  // The wait cursor, nested: only the outermost pair changes it.
  void StartWaitCursor();
  void StopWaitCursor();

  // Whether this operation may touch the cursor and process window messages.
  bool OnMainThread() const { return on_main_thread_; }
  void SetOnMainThread(bool value) { on_main_thread_ = value; }

  TProgressDetails& Progress() { return progress_; }
  const TProgressDetails& Progress() const { return progress_; }
  // Updates the counters for one progress step and fires the progress events.
  void ReportProgress(ProgressType kind, const std::string& item, std::int64_t size);

  TArchiveEvents& Events() { return events_; }
  const TArchiveEvents& Events() const { return events_; }
  void SetEvents(const TArchiveEvents& events) { events_ = events; }

 protected:
  void SetErrorState(int ident, std::string message, int full = 0);

 private:
  void SendMessage(int ident, const std::string& text);

  int err_code_ = 0;
  int full_err_code_ = 0;
  std::string message_;
  bool unattended_ = false;
  bool verbose_ = false;
  bool trace_ = false;
  bool on_main_thread_ = true;
  std::string dll_directory_;
  int cursor_depth_ = 0;
  TProgressDetails progress_;
  TArchiveEvents events_;
};

}  // namespace korvel

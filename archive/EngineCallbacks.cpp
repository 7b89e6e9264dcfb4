// TArchiveWorker's side of the engines' callback: the entry point, the text the engine sends, and
// one answer per group of actions (progress, messages, questions).
#include <algorithm>
#include <cstring>
#include <stdexcept>

#include "archive/ArchiveMessages.h"
#include "archive/ArchiveWorker.h"
#include "archive/ArchiveWorkerInternals.h"

namespace korvel {
namespace {

constexpr std::size_t kMaxPasswordAnswer = 80;
constexpr std::size_t kMaxCallbackText = 512;

void CopyAnswer(EngineCallbackRecord& record, std::string_view text) {
  std::size_t n = std::min<std::size_t>(text.size(), KORVEL_CALLBACK_TEXT_SIZE - 1);
  std::memcpy(record.Text.Buffer, text.data(), n);
  record.Text.Buffer[n] = '\0';
}

// The engine's text: in the buffer, or behind the pointer when the buffer starts with 0. A known
// message number stands in front of the name part, which starts at the P-th character (1-based).
std::string CallbackText(const EngineCallbackRecord& record) {
  std::string text;
  if (record.Text.Indirect.Zero == 0) {
    if (record.Text.Indirect.Text != nullptr)
      text.assign(record.Text.Indirect.Text, strnlen(record.Text.Indirect.Text, kMaxCallbackText));
  } else {
    text.assign(record.Text.Buffer, strnlen(record.Text.Buffer, KORVEL_CALLBACK_TEXT_SIZE));
  }
  text = PlatformSeparators(std::move(text));
  int ident = KORVEL_CALLBACK_CODE_MESSAGE_ID(record.Code);
  if (ident != 0) {
    if (auto known = FindArchiveText(ident)) {
      std::size_t pos = static_cast<std::size_t>(KORVEL_CALLBACK_CODE_POSITION(record.Code));
      std::size_t start = pos == 0 ? 0 : pos - 1;
      text = *known + " " + (start < text.size() ? text.substr(start) : std::string());
    }
  }
  return text;
}

void AnswerNewName(const TArchiveEvents& ev, bool packing, EngineCallbackRecord& record,
                   const std::string& text) {
  std::string name = text;
  bool changed = false;
  if (packing && ev.OnSetAddName) {
    const char* ext = static_cast<const char*>(record.Data);
    ev.OnSetAddName(name, ext != nullptr ? ext : "", changed);
  } else if (!packing && ev.OnSetNewName) {
    ev.OnSetNewName(name, changed);
  }
  record.Arg1 = changed ? 1 : 0;
  if (changed) CopyAnswer(record, name);
}

void AnswerExtractName(const TArchiveEvents& ev, EngineCallbackRecord& record,
                       const std::string& text) {
  if (!ev.OnSetExtName) return;
  std::string name = text;
  bool changed = false;
  ev.OnSetExtName(name, changed);
  record.Arg1 = changed ? 1 : 0;
  if (changed) CopyAnswer(record, name);
}

void AnswerCrcError(const TArchiveEvents& ev, EngineCallbackRecord& record,
                    const std::string& text) {
  if (!ev.OnCRC32Error) {
    record.Arg1 = 2;  // nobody decided
    return;
  }
  bool extract = true;
  ev.OnCRC32Error(text, static_cast<std::uint32_t>(record.Arg1),
                  static_cast<std::uint32_t>(record.Arg2), extract);
  record.Arg1 = extract ? 1 : 0;
}

void AnswerOverwrite(const TArchiveEvents& ev, EngineCallbackRecord& record,
                     const std::string& text) {
  if (!ev.OnExtractOverwrite) return;
  bool overwrite = record.Arg2 != 0;
  ev.OnExtractOverwrite(text, record.Arg1 != 0, overwrite, 0);
  record.Arg2 = overwrite ? -1 : 0;
}

void AnswerFileComment(const TArchiveEvents& ev, EngineCallbackRecord& record) {
  if (!ev.OnFileComment) return;
  std::string name(record.Text.Question.Name,
                   strnlen(record.Text.Question.Name, KORVEL_CALLBACK_NAME_SIZE));
  std::string comment(record.Text.Question.Comment,
                      strnlen(record.Text.Question.Comment, KORVEL_CALLBACK_COMMENT_SIZE));
  bool changed = false;
  ev.OnFileComment(name, comment, changed);
  record.Arg1 = changed ? 1 : 0;
  if (changed) {
    CopyAnswer(record, comment);
    record.Arg2 = static_cast<std::int32_t>(
        std::min<std::size_t>(comment.size(), KORVEL_CALLBACK_TEXT_SIZE - 1));
  }
}

// A changed extra field goes back in the buffer when it fits, else by pointer to `answer`.
void AnswerFileExtra(const TArchiveEvents& ev, EngineCallbackRecord& record,
                     const std::string& text, std::string& answer) {
  if (!ev.OnFileExtra) return;
  std::string extra;
  if (record.Data != nullptr && record.Arg2 > 0)
    extra.assign(static_cast<const char*>(record.Data), static_cast<std::size_t>(record.Arg2));
  bool changed = false;
  ev.OnFileExtra(text, extra, changed);
  if (!changed) return;
  answer = std::move(extra);
  if (answer.size() < KORVEL_CALLBACK_TEXT_SIZE) {
    std::memcpy(record.Text.Buffer, answer.data(), answer.size());
  } else {
    record.Data = answer.data();
  }
  record.Arg2 = static_cast<std::int32_t>(answer.size());
  record.Arg1 = -1;
}

}  // namespace

std::int32_t KORVEL_RECORD_CALL TArchiveWorker::Callback(EngineCallbackRecord* record) {
  if (record == nullptr || record->Caller == nullptr) return 1;
  auto* worker = static_cast<TArchiveWorker*>(record->Caller);
  // Nothing may unwind into the engine.
  try {
    return worker->HandleCallback(*record);
  } catch (...) {
    worker->cancel_ = true;
    return 1;
  }
}

void TArchiveWorker::NoteHandlerException(int action, const char* what) {
  cancel_ = true;
  if (handler_exception_) return;
  handler_exception_ = true;
  handler_exception_note_ = " #" + std::to_string(action) + " \"" + what + "\"";
}

std::int32_t TArchiveWorker::HandleCallback(EngineCallbackRecord& record) {
  int action = KORVEL_CALLBACK_CODE_ACTION(record.Code);
  std::string text = CallbackText(record);
  try {
    DispatchAction(action, record, text);
  } catch (const std::exception& e) {
    NoteHandlerException(action, e.what());
  } catch (...) {
    NoteHandlerException(action, "unknown exception");
  }
  Tick();
  if (handler_exception_) return kArchiveHandlerException;
  return cancel_ ? 1 : 0;
}

void TArchiveWorker::Tick() {
  try {
    if (Events().OnCheckTerminate) {
      bool abort = cancel_;
      Events().OnCheckTerminate(abort);
      if (abort) cancel_ = true;
    } else if (OnMainThread() && ArchiveUiHooks().ProcessMessages) {
      ArchiveUiHooks().ProcessMessages();
    }
  } catch (const std::exception& e) {
    NoteHandlerException(0, e.what());
  } catch (...) {
    NoteHandlerException(0, "unknown exception");
  }
}

void TArchiveWorker::DispatchAction(int action, EngineCallbackRecord& record,
                                    const std::string& text) {
  if (ReportEngineProgress(action, record, text)) return;
  if (ReportEngineMessage(action, record, text)) return;
  AnswerEngineQuestion(action, record, text);
}

bool TArchiveWorker::ReportEngineProgress(int action, const EngineCallbackRecord& record,
                                          const std::string& text) {
  auto arg = static_cast<std::uint32_t>(record.Arg1);
  switch (action) {
    case kCallbackActionTick:
      if (Events().OnTick) Events().OnTick();
      return true;
    case kCallbackActionNewFile:
      ReportProgress(ProgressType::NewFile, text, arg);
      return true;
    case kCallbackActionProgress:
      ReportProgress(ProgressType::ProgressUpdate, {}, arg);
      return true;
    case kCallbackActionEndOfBatch:
      ReportProgress(ProgressType::EndOfBatch, {}, 0);
      return true;
    case kCallbackActionTotalFiles:
      ReportProgress(ProgressType::TotalFiles2Process, {}, record.Arg1);
      return true;
    case kCallbackActionTotalSize:
      ReportProgress(ProgressType::TotalSize2Process, {}, arg);
      return true;
    case kCallbackActionNewExtra:
      ReportProgress(ProgressType::NewExtra, text, arg);
      return true;
    case kCallbackActionExtraProgress:
      ReportProgress(ProgressType::ExtraUpdate, {}, arg);
      return true;
    default:
      return false;
  }
}

bool TArchiveWorker::ReportEngineMessage(int action, const EngineCallbackRecord& record,
                                         const std::string& text) {
  const TArchiveEvents& ev = Events();
  int err = record.Arg1;
  if (action == kCallbackActionMessage) {
    std::string message = text;
    if (err != 0) {
      if ((err & 0xFF) == 9 && handler_exception_) message = ArchiveLoadStr(kArchiveEventException);
      SetErrorState(err & 0xFF, message, err);
    }
    if (ev.OnMessage) ev.OnMessage(err & 0xFF, message);
    if (err != 0 && ev.OnFailure) {
      const char* entry = static_cast<const char*>(record.Data);
      ev.OnFailure(ArchiveFailure{err & 0xFF, record.Arg2, entry != nullptr ? entry : "", message});
    }
    return true;
  }
  if (action == kCallbackActionSkipped) {
    if (err != 0) SetErrorState(err & 0xFF, Message(), err);
    if (ev.OnExtractSkipped)
      ev.OnExtractSkipped(text, record.Arg2, err & 0xFF);
    else if (ev.OnMessage)
      ev.OnMessage(kArchiveSkipped,
                   ArchiveFmtLoadStr(kArchiveSkipped, {text, std::to_string(err)}));
    return true;
  }
  return false;
}

void TArchiveWorker::AnswerEngineQuestion(int action, EngineCallbackRecord& record,
                                          const std::string& text) {
  const TArchiveEvents& ev = Events();
  switch (action) {
    case kCallbackActionNewName:
      AnswerNewName(ev, pack_busy_, record, text);
      break;
    case kCallbackActionExtractName:
      AnswerExtractName(ev, record, text);
      break;
    case kCallbackActionPassword:
      AnswerPassword(record, text);
      break;
    case kCallbackActionCrcError:
      AnswerCrcError(ev, record, text);
      break;
    case kCallbackActionOverwrite:
      AnswerOverwrite(ev, record, text);
      break;
    case kCallbackActionFileComment:
      AnswerFileComment(ev, record);
      break;
    case kCallbackActionFileExtra:
      AnswerFileExtra(ev, record, text, extra_answer_);
      break;
    case kCallbackActionStreamSize:
      // No memory stream in this program: the resize fails.
      record.Arg1 = 1;
      record.Arg2 = 0;
      break;
    default:
      break;
  }
}

// The password for packing is asked twice and must match; unpacking can also cancel all.
void TArchiveWorker::AnswerPassword(EngineCallbackRecord& record, const std::string& file) {
  bool for_packing = record.IsZip != 0;
  std::string password;
  std::uint32_t repeats = static_cast<std::uint32_t>(std::max(0, record.Arg2));
  bool cancel_all = false;
  bool answered = false;
  if (Events().OnPasswordError) {
    Events().OnPasswordError(for_packing, password, file, repeats, cancel_all);
    answered = true;
  } else if (Unattended()) {
    ShowArchiveMessage(for_packing ? kArchiveNoAddPassword : kArchiveNoExtractPassword);
  } else if (for_packing) {
    answered = AskNewPassword(password);
  } else {
    answered = AskPassword(password, cancel_all);
  }
  password.resize(std::min(password.size(), kMaxPasswordAnswer));
  record.Arg2 = static_cast<std::int32_t>(std::min(repeats, kMaxPasswordRepeats));
  if (answered && !password.empty()) {
    CopyAnswer(record, password);
    record.Arg1 = 1;
  } else {
    record.Arg1 = 0;
    record.Arg2 = 0;
  }
  if (cancel_all) record.Code = 0;
}

bool TArchiveWorker::AskNewPassword(std::string& password) {
  std::string first = "Enter Password ";
  int r = ArchiveMessageDialog("Password", first, TArchiveBoxKind::kPassword,
                               {TArchiveBoxButton::OK, TArchiveBoxButton::Cancel});
  bool answered = false;
  if (r == kArchiveMrOk) {
    std::string second = "Confirm Password ";
    r = ArchiveMessageDialog("Password", second, TArchiveBoxKind::kPassword,
                             {TArchiveBoxButton::OK, TArchiveBoxButton::Cancel});
    if (r == kArchiveMrOk) {
      if (first == second) {
        password = first;
        answered = true;
      } else {
        ShowArchiveMessage(kArchivePasswordMismatch);
      }
    }
  }
  if (r != kArchiveMrOk && r != kArchiveMrCancel) cancel_ = true;
  return answered;
}

bool TArchiveWorker::AskPassword(std::string& password, bool& cancel_all) {
  std::string entry = "Enter Password ";
  int r = ArchiveMessageDialog(
      "Password", entry, TArchiveBoxKind::kPassword,
      {TArchiveBoxButton::OK, TArchiveBoxButton::Cancel, TArchiveBoxButton::CancelAll});
  if (r == kArchiveMrOk) {
    password = entry;
    return true;
  }
  if (r == kArchiveMrCancelAll) {
    cancel_all = true;
  } else if (r != kArchiveMrCancel) {
    cancel_ = true;
  }
  return false;
}

}  // namespace korvel

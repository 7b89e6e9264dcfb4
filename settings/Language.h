// The Language table: the captions and messages of the program, each named by a section and a key
// of a language file and each with a built-in Russian text; and the captions that applying a
// language sets in the windows.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace korvel {

// The table's entries, in the order in which a language file is read. Keys are unique across
// the sections, so each entry is named after its key.
enum class TextId : std::size_t {
  // General
  kOk,
  kCancel,
  kClose,
  kStop,
  // Main
  kPatchJar,
  kBatchProcess,
  kOptions,
  kAbout,
  kExit,
  kReqFilesNotFound,
  kInitializing,
  kExtractingFiles,
  kWritingNokiaClasses,
  kNokiaFunctionsNotUsed,
  kPatchingFiles,
  kFilesPatchedCount,
  kWritingFullscreenClass,
  kCreatingJar,
  kCreatingJad,
  kCouldNotCreateJad,
  kClearingTempDir,
  kWorkFinished,
  kJarNotCreated,
  kOriginalFileRecovered,
  kFinished,
  kUploadToPhone,
  kMidwayNotConfigured,
  kAcceptFile,
  kNoCanvasFound,
  kClassNotRead,
  kAlreadyAdapted,
  // Batch
  kBatchProcessCaption,
  kAddFiles,
  kRemoveFromList,
  kClearList,
  kFile,
  kBatch,
  kStart,
  kProcessingFinished,
  kAcceptFiles,
  kNothingSelected,
  // Options
  kOptionsCaption,
  kJarOptions,
  kBackupJar,
  kAddNokiaClasses,
  kJadOptions,
  kModifyCreateJad,
  kFilterAttributes,
  kPhoneUpload,
  kAskMidway,
  kConfigureMidway,
  kCanvasRes,
  kWidth,
  kHeight,
  kPixels,
  kDragDrop,
  kConfirmDrop,
  // Texts added later, read in the same way.
  kMainCaption,
  kOpenJarTitle,
  kJarFilesFilter,
  kAllFilesFilter,
  kNotAJar,
  kAddJarsTitle,
  kAdapted,
  kFailed,
  kAdaptedCount,
  kFailedCount,
  kStopAfterCurrent,
  kMidwayDialogTitle,
  kProgramsFilter,
  kMidwayAllFilesFilter,
  kAboutCaption,
  kAboutCommunity,
  kAboutAuthor,
  kAboutEditor,
  kArchiveEntries,
  kUnchanged,
  kAlreadyAdaptedResult,
  kSkippedCount,
  kNoCanvasToRedirect,
  kGameKeys,
  kHandsetKeysFound,
  kKeysTranslated,
  kKeysNotFound,
  kHandsetKeys,
  // Failures: why a job or a restore stopped. Formats (FormatText): %1, %2... stand for the file
  // or entry named and any figures, \n for a line break.
  kAnotherJobRunning,
  kGameBusy,
  kCannotLockGame,
  kJarReadOnly,
  kDescriptorReadOnly,
  kNokiaNotUnpacked,
  kCannotReadDescriptor,
  kCannotMakeDescriptor,
  kCannotFilterDescriptor,
  kCannotFilterManifest,
  kCannotUpdateDescriptor,
  kUnsafeEntryName,
  kDamagedEntry,
  kArchiveOverrun,
  kArchiveEmpty,
  kArchiveTooLarge,
  kNotAllUnpacked,
  kNewJarIncomplete,
  kNewJarNotWritten,
  kCannotReplaceFile,
  kCannotFlushFolder,
  kCannotWriteFile,
  kCannotSetPermissions,
  kCannotKeepJar,
  kCannotKeepJad,
  kCannotReadJournal,
  kNoBackup,
  // Recovery: what the recovery of an interrupted run and a restore did (formats as above).
  kCommitCompleted,
  kRestoreCompleted,
  kLeftoversRemoved,
  kRestored,
  kRestoredWithJad,
  kRestoredJadRemoved,
};

inline constexpr std::size_t kLanguageTextCount = 118;

struct LanguageEntry {
  std::string_view section;
  std::string_view key;
  std::string_view built_in;  // UTF-8
  // The English text of a failure or recovery line, which exception messages and logs give;
  // empty for the window texts, whose English lives in lang/English.lng only.
  std::string_view english = {};
};

// Indexed by TextId.
extern const std::array<LanguageEntry, kLanguageTextCount> kLanguageTable;

inline const LanguageEntry& EntryOf(TextId id) {
  return kLanguageTable[static_cast<std::size_t>(id)];
}

// The header section of a language file and its one key.
inline constexpr std::string_view kLanguageFileSection = "Korvel Language File";
inline constexpr std::string_view kLanguageNameKey = "Name";
// The Display name of the empty path, the built-in texts.
inline constexpr std::string_view kDefaultLanguageName = "<Default>";

// The current texts of the table, UTF-8.
class Language {
 public:
  // All built-in texts.
  Language();

  // Replaces every text from the language file at `path`: a key the file lacks gives the built-in
  // text, an empty value an empty text, a value longer than 2047 characters is cut. An empty path,
  // a missing or unreadable file reads as an empty file. The file is Windows-1251 unless it begins
  // with a UTF-8 byte-order mark. Never raises.
  void Load(const std::string& path);

  // A Language loaded from `path`.
  static Language FromFile(const std::string& path);

  // The built-in texts with English where the table has it (failures and recovery lines): the
  // words of exception messages and logs, whatever the user's language.
  static const Language& English();

  const std::string& Text(TextId id) const { return texts_[static_cast<std::size_t>(id)]; }
  const std::string& operator[](TextId id) const { return Text(id); }

  // The text of a section and key (ASCII case ignored), or nullptr when the table has no such
  // entry.
  const std::string* Find(std::string_view section, std::string_view key) const;

 private:
  std::array<std::string, kLanguageTextCount> texts_;
};

// A format text with its values: %1 to %9 replaced by args[0] to args[8] (a missing one by
// nothing), %% by %, and the two characters \n by a line break (a language file keeps a text on
// one line).
std::string FormatText(std::string_view text, const std::vector<std::string>& args);

// What the language dialog lists for `path`: "<Default>" for the empty path, else the "Name" of
// the file's "Korvel Language File" section, else (no such key, an empty name, or no readable
// file) the file name without folder and extension.
std::string LanguageDisplayName(const std::string& path);

// The windows whose captions come from the table.
enum class LanguageWindow { kMain, kBatch, kOptions };

// One caption that applying a language sets: the control (by its name in the window layout, or
// kWindowTitle for the window's own title) gets the text of `text` followed by `suffix`.
struct LanguageCaption {
  LanguageWindow window;
  std::string_view control;
  TextId text;
  std::string_view suffix;
};

inline constexpr std::string_view kWindowTitle = "";

// The 32 captions, in the order in which they are set.
extern const std::array<LanguageCaption, 33> kLanguageCaptions;

// The text a caption shows with the current texts (the batch gauge's is a format text: the
// Batch text followed by ": %d%%").
std::string CaptionText(const LanguageCaption& caption, const Language& language);

}  // namespace korvel

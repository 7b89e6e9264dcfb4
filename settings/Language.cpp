// The Language table with its built-in Russian texts, language files and the captions they set.
#include "settings/Language.h"

#include <utility>

#include "platform/AsciiText.h"
#include "platform/CodePage.h"
#include "platform/Files.h"
#include "platform/Profile.h"
#include "settings/ProfileValues.h"

namespace korvel {

// The built-in texts: Russian, the program's first language, kept here in UTF-8.
constexpr std::array<LanguageEntry, kLanguageTextCount> kLanguageTable = {{
    {"General", "Ok", "Ok"},
    {"General", "Cancel", "Отмена"},
    {"General", "Close", "Закрыть"},
    {"General", "Stop", "Остановить"},
    {"Main", "PatchJar", "Исправить Jar..."},
    {"Main", "BatchProcess", "Пакетная обработка"},
    {"Main", "Options", "Настройки"},
    {"Main", "About", "О программе"},
    {"Main", "Exit", "Выход"},
    {"Main", "ReqFilesNotFound", "Не найдены файлы, необходимые для работы программы:"},
    {"Main", "Initializing", "Инициализация"},
    {"Main", "ExtractingFiles", "Извлечение файлов"},
    {"Main", "WritingNokiaClasses", "Запись классов Nokia"},
    {"Main", "NokiaFunctionsNotUsed", "Классы, использующие функции Nokia, не найдены"},
    {"Main", "PatchingFiles", "Исправление классов"},
    {"Main", "FilesPatchedCount", "Исправлено классов:"},
    {"Main", "WritingFullscreenClass", "Запись класса для FullScreen"},
    {"Main", "CreatingJar", "Создание jar файла"},
    {"Main", "CreatingJad", "Модификация jad файла"},
    {"Main", "CouldNotCreateJad", "Невозможно создать jad"},
    {"Main", "ClearingTempDir", "Очистка временной директории"},
    {"Main", "WorkFinished", "Работа завершена"},
    {"Main", "JarNotCreated", "Jar не был создан :("},
    {"Main", "OriginalFileRecovered", "Восстановлен оригинальный файл."},
    {"Main", "Finished", "Завершено!"},
    {"Main", "UploadToPhone", "Загрузить в телефон?"},
    {"Main", "MidwayNotConfigured", "MIDway не настроен!"},
    {"Main", "AcceptFile", "Принять файл:"},
    {"Main", "NoCanvasFound", "Canvas не найден: игра сохраняет свой размер экрана"},
    {"Main", "ClassNotRead", "Класс не прочитан и оставлен как есть:"},
    {"Main", "AlreadyAdapted", "Игра уже адаптирована под этот размер экрана:"},
    {"Batch", "BatchProcessCaption", "Пакетная обработка"},
    {"Batch", "AddFiles", "Добавить файлы"},
    {"Batch", "RemoveFromList", "Удалить из списка"},
    {"Batch", "ClearList", "Очистить список"},
    {"Batch", "File", "Файл"},
    {"Batch", "Batch", "Пакет"},
    {"Batch", "Start", "Старт"},
    {"Batch", "ProcessingFinished", "Обработка завершена!"},
    {"Batch", "AcceptFiles", "Принять файл(ы)?"},
    {"Batch", "NothingSelected", "Ничего не выбрано!"},
    {"Options", "OptionsCaption", "Параметры"},
    {"Options", "JarOptions", "Настройки преобразования Jar"},
    {"Options", "BackupJar", "Создавать backup Jar-файла"},
    {"Options", "AddNokiaClasses", "Добавлять классы для совместимости с Nokia"},
    {"Options", "JadOptions", "Преобразование Jad"},
    {"Options", "ModifyCreateJad", "Исправлять / создавать Jad-файл"},
    {"Options", "FilterAttributes", "Удалить лишние атрибуты из Jad и Manifest"},
    {"Options", "PhoneUpload", "Загрузка в телефон"},
    {"Options", "AskMidway", "Предлагать запуск MIDway для загрузки мидлета"},
    {"Options", "ConfigureMidway", "Настроить MIDway"},
    {"Options", "CanvasRes", "Разрешение Canvas"},
    {"Options", "Width", "Ширина:"},
    {"Options", "Height", "Высота:"},
    {"Options", "Pixels", "точек"},
    {"Options", "DragDrop", "Drag&&Drop"},
    {"Options", "ConfirmDrop", "Подтверждать принятие файла"},
    {"Main", "MainCaption", "Программа для подстройки JAVA-игр под Virel"},
    {"Main", "OpenJarTitle", "Open Jar"},
    {"Main", "JarFilesFilter", "Jar files"},
    {"Main", "AllFilesFilter", "All files"},
    {"Main", "NotAJar", "Не Jar-файл, пропущен:"},
    {"Batch", "AddJarsTitle", "Add Jar files"},
    {"Batch", "Adapted", "исправлен"},
    {"Batch", "Failed", "ошибка"},
    {"Batch", "AdaptedCount", "Исправлено:"},
    {"Batch", "FailedCount", "С ошибками:"},
    {"Batch", "StopAfterCurrent", "Остановить после текущего файла?"},
    {"Options", "MidwayDialogTitle", "MIDway..."},
    {"Options", "ProgramsFilter", "Все программы"},
    {"Options", "MidwayAllFilesFilter", "Все файлы"},
    {"About", "AboutCaption", "О Korvel"},
    {"About", "AboutCommunity", "Для владельцев телефонов Virel"},
    {"About", "AboutAuthor", "Разработка:"},
    {"About", "AboutEditor", "Перебил под Virel:"},
    {"Main", "ArchiveEntries", "Файлы архива:"},
    {"Batch", "Unchanged", "без изменений"},
    {"Batch", "AdaptedBefore", "уже адаптирован"},
    {"Batch", "SkippedCount", "Пропущено:"},
    {"Batch", "NoCanvas", "нет канваса для перенаправления"},
    {"Main", "GameKeys", "Клавиши игры:"},
    {"Main", "HandsetKeysFound", "клавиши телефона:"},
    {"Main", "KeysTranslated", "коды клавиш переводятся для телефона"},
    {"Main", "KeysNotFound", "не определены"},
    {"Options", "HandsetKeys", "Клавиши телефона:"},
    {"Failures", "AnotherJobRunning",
     "Сейчас уже адаптируется другая игра, в этом окне или в другой копии программы. "
     "Попробуйте ещё раз, когда она закончится.",
     "Another game is being adapted right now, in this window or another copy of the program. "
     "Try again when it has finished."},
    {"Failures", "GameBusy",
     "Игру %1 сейчас изменяет другой запуск, в этом окне или в другой копии программы. "
     "Попробуйте ещё раз, когда он закончится.",
     "%1 is being changed right now by another run, in this window or another copy of the "
     "program. Try again when it has finished."},
    {"Failures", "CannotLockGame", "Не удалось создать файл блокировки игры \"%1\"",
     "Cannot make the lock file of the game \"%1\""},
    {"Failures", "JarReadOnly",
     "%1\\nФайл доступен только для чтения.\\nПопробуйте ещё раз с другим именем файла.",
     "%1\\nThis file is set read-only.\\nTry again with a different file name."},
    {"Failures", "DescriptorReadOnly",
     "%1\\nJad-файл доступен только для чтения, поэтому его нельзя обновить вместе с Jar.\\n"
     "Разрешите запись в него и попробуйте ещё раз.",
     "%1\\nThe descriptor is set read-only, so it could not be renewed with the JAR.\\nMake it "
     "writable and try again."},
    {"Failures", "NokiaNotUnpacked", "Не удалось распаковать классы совместимости с Nokia",
     "The Nokia compatibility classes could not be unpacked"},
    {"Failures", "CannotReadDescriptor", "Не удалось прочитать Jad-файл \"%1\"",
     "Cannot read the descriptor \"%1\""},
    {"Failures", "CannotMakeDescriptor", "Не удалось создать Jad-файл из манифеста",
     "Cannot make the descriptor from the manifest"},
    {"Failures", "CannotFilterDescriptor", "Не удалось убрать лишние атрибуты из Jad-файла \"%1\"",
     "Cannot filter the descriptor \"%1\""},
    {"Failures", "CannotFilterManifest", "Не удалось убрать лишние атрибуты из манифеста игры",
     "Cannot filter the manifest of the game"},
    {"Failures", "CannotUpdateDescriptor", "Не удалось обновить Jad-файл \"%1\"",
     "Cannot update the descriptor \"%1\""},
    {"Failures", "UnsafeEntryName", "%1: небезопасное имя, файл отвергнут",
     "%1: unsafe name refused"},
    {"Failures", "DamagedEntry", "%1: повреждён (не сходится контрольная сумма)",
     "%1: damaged (checksum)"},
    {"Failures", "ArchiveOverrun",
     "архив распаковывается в больший объём, чем указано в его оглавлении; распаковка "
     "остановлена",
     "the archive unpacks to more than its directory says; unpacking stopped"},
    {"Failures", "ArchiveEmpty", "в архиве нет файлов", "the archive holds no files"},
    {"Failures", "ArchiveTooLarge",
     "архив распаковался бы в %1 (в сжатом виде %2); допускается не больше %3 всего и не больше "
     "чем в %4 раз больше сжатого размера",
     "the archive would unpack to %1 (%2 packed); at most %3 in all and %4 times the packed "
     "size are allowed"},
    {"Failures", "NotAllUnpacked", "не все файлы архива удалось распаковать",
     "not every file of the archive could be unpacked"},
    {"Failures", "NewJarIncomplete", "новый Jar не прочитался целиком при проверке",
     "the new JAR did not read back whole"},
    {"Failures", "NewJarNotWritten", "не удалось записать новый Jar",
     "the new JAR could not be written"},
    {"Failures", "CannotReplaceFile", "Не удалось поставить новый файл на место \"%1\"",
     "Cannot put the new file in place of \"%1\""},
    {"Failures", "CannotFlushFolder", "Не удалось записать на диск содержимое папки \"%1\"",
     "Cannot flush the folder \"%1\""},
    {"Failures", "CannotWriteFile", "Не удалось записать \"%1\"", "Cannot write \"%1\""},
    {"Failures", "CannotSetPermissions", "Не удалось установить права доступа для \"%1\"",
     "Cannot set the permissions of \"%1\""},
    {"Failures", "CannotKeepJar", "Не удалось скопировать Jar в \"%1\"",
     "Cannot copy the JAR to \"%1\""},
    {"Failures", "CannotKeepJad", "Не удалось скопировать Jad в \"%1\"",
     "Cannot copy the JAD to \"%1\""},
    {"Failures", "CannotReadJournal", "Не удалось прочитать журнал прерванного запуска",
     "Cannot read the journal of an interrupted run"},
    {"Failures", "NoBackup", "Рядом с Jar нет резервной копии %1; ничего не восстановлено.",
     "There is no backup %1 beside the JAR; nothing was restored."},
    {"Recovery", "CommitCompleted",
     "Прерванный запуск для %1 доведён до конца: адаптированный Jar и его Jad на месте.",
     "An interrupted run on %1 has been completed: the adapted JAR and its JAD are in place."},
    {"Recovery", "RestoreCompleted",
     "Прерванное восстановление %1 доведено до конца: игра такая же, как до адаптации.",
     "An interrupted restore of %1 has been completed: the game is as it was before it was "
     "adapted."},
    {"Recovery", "LeftoversRemoved",
     "Файлы, оставшиеся от прерванного запуска для %1, удалены; игра осталась прежней.",
     "Files left by an interrupted run on %1 have been removed; the game is as it was."},
    {"Recovery", "Restored", "%1 восстановлен из резервной копии", "%1 restored from the backup"},
    {"Recovery", "RestoredWithJad", "%1 и %2 восстановлены из резервной копии",
     "%1 and %2 restored from the backup"},
    {"Recovery", "RestoredJadRemoved",
     "%1 восстановлен из резервной копии; Jad, созданный при адаптации, удалён",
     "%1 restored from the backup; the JAD the run made was removed"},
}};

constexpr std::array<LanguageCaption, 33> kLanguageCaptions = {{
    {LanguageWindow::kMain, "btnJar", TextId::kPatchJar, ""},
    {LanguageWindow::kMain, "btnBatch", TextId::kBatchProcess, ""},
    {LanguageWindow::kMain, "btnOptions", TextId::kOptions, ""},
    {LanguageWindow::kMain, "btnAbout", TextId::kAbout, ""},
    {LanguageWindow::kMain, "btnExit", TextId::kExit, ""},
    {LanguageWindow::kBatch, kWindowTitle, TextId::kBatchProcessCaption, ""},
    {LanguageWindow::kBatch, "btnAdd", TextId::kAddFiles, ""},
    {LanguageWindow::kBatch, "btnDel", TextId::kRemoveFromList, ""},
    {LanguageWindow::kBatch, "btnClear", TextId::kClearList, ""},
    {LanguageWindow::kBatch, "gFile", TextId::kFile, ""},
    {LanguageWindow::kBatch, "gBatch", TextId::kBatch, ": %d%%"},
    {LanguageWindow::kBatch, "btnCancel", TextId::kClose, ""},
    {LanguageWindow::kBatch, "btnStart", TextId::kStart, ""},
    {LanguageWindow::kOptions, kWindowTitle, TextId::kOptionsCaption, ""},
    {LanguageWindow::kOptions, "lblOptsJar", TextId::kJarOptions, ""},
    {LanguageWindow::kOptions, "cbBackup", TextId::kBackupJar, ""},
    {LanguageWindow::kOptions, "cbNokia", TextId::kAddNokiaClasses, ""},
    {LanguageWindow::kOptions, "lblOptsJad", TextId::kJadOptions, ""},
    {LanguageWindow::kOptions, "cbJad", TextId::kModifyCreateJad, ""},
    {LanguageWindow::kOptions, "cbFilterAttr", TextId::kFilterAttributes, ""},
    {LanguageWindow::kOptions, "lblOptsMidway", TextId::kPhoneUpload, ""},
    {LanguageWindow::kOptions, "cbAskMidway", TextId::kAskMidway, ""},
    {LanguageWindow::kOptions, "btnMidway", TextId::kConfigureMidway, ""},
    {LanguageWindow::kOptions, "lblOptsCanvas", TextId::kCanvasRes, ""},
    {LanguageWindow::kOptions, "lblCanvasW", TextId::kWidth, ""},
    {LanguageWindow::kOptions, "lblCanvasH", TextId::kHeight, ""},
    {LanguageWindow::kOptions, "lblCanvasWp", TextId::kPixels, ""},
    {LanguageWindow::kOptions, "lblCanvasHp", TextId::kPixels, ""},
    {LanguageWindow::kOptions, "lblOptsDragDrop", TextId::kDragDrop, ""},
    {LanguageWindow::kOptions, "cbConfirmDrop", TextId::kConfirmDrop, ""},
    {LanguageWindow::kOptions, "lblHandsetKeys", TextId::kHandsetKeys, ""},
    {LanguageWindow::kOptions, "btnOk", TextId::kOk, ""},
    {LanguageWindow::kOptions, "btnCancel", TextId::kCancel, ""},
}};

namespace {

// A value of a language file as program text: files made for Windows are Windows-1251, files
// with a byte-order mark UTF-8 already.
std::string Decode(const platform::ProfileFile& file, const std::string& value) {
  std::string text =
      file.HasUtf8Bom() ? value : platform::ToUtf8(value, platform::CodePage::kWindows1251);
  return CutToCharacters(std::move(text));
}

}  // namespace

Language::Language() {
  for (std::size_t i = 0; i < kLanguageTextCount; ++i) {
    texts_[i] = std::string(kLanguageTable[i].built_in);
  }
}

void Language::Load(const std::string& path) {
  if (path.empty()) {
    *this = Language();
    return;
  }
  const platform::ProfileFile file(path);
  for (std::size_t i = 0; i < kLanguageTextCount; ++i) {
    const LanguageEntry& entry = kLanguageTable[i];
    const auto value = file.Find(entry.section, entry.key);
    texts_[i] = value ? Decode(file, *value) : std::string(entry.built_in);
  }
}

Language Language::FromFile(const std::string& path) {
  Language language;
  language.Load(path);
  return language;
}

const Language& Language::English() {
  static const Language english = [] {
    Language language;
    for (std::size_t i = 0; i < kLanguageTextCount; ++i) {
      if (!kLanguageTable[i].english.empty()) {
        language.texts_[i] = std::string(kLanguageTable[i].english);
      }
    }
    return language;
  }();
  return english;
}

std::string FormatText(std::string_view text, const std::vector<std::string>& args) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char next = i + 1 < text.size() ? text[i + 1] : '\0';
    if (text[i] == '%' && next >= '1' && next <= '9') {
      const auto index = static_cast<std::size_t>(next - '1');
      if (index < args.size()) out += args[index];
      ++i;
    } else if (text[i] == '%' && next == '%') {
      out += '%';
      ++i;
    } else if (text[i] == '\\' && next == 'n') {
      out += '\n';
      ++i;
    } else {
      out += text[i];
    }
  }
  return out;
}

const std::string* Language::Find(std::string_view section, std::string_view key) const {
  for (std::size_t i = 0; i < kLanguageTextCount; ++i) {
    if (EqualsIgnoringAsciiCase(kLanguageTable[i].section, section) &&
        EqualsIgnoringAsciiCase(kLanguageTable[i].key, key)) {
      return &texts_[i];
    }
  }
  return nullptr;
}

std::string LanguageDisplayName(const std::string& path) {
  if (path.empty()) return std::string(kDefaultLanguageName);
  const platform::ProfileFile file(path);
  if (const auto name = file.Find(kLanguageFileSection, kLanguageNameKey)) {
    // An empty name would leave an empty line in the language list; the file name serves better.
    std::string text = Decode(file, *name);
    if (!text.empty()) return text;
  }
  std::string base = platform::FileNamePart(path);
  const auto dot = base.rfind('.');
  if (dot != std::string::npos) base.resize(dot);
  return base;
}

std::string CaptionText(const LanguageCaption& caption, const Language& language) {
  return language.Text(caption.text) + std::string(caption.suffix);
}

}  // namespace korvel

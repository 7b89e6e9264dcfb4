// TArchiveWorker's command records: the settings and pattern lists turned into what the engines
// read, with the folders they need made or checked first.
#include <cstring>
#include <stdexcept>

#include "archive/ArchiveMessages.h"
#include "archive/ArchiveWorker.h"
#include "archive/ArchiveWorkerInternals.h"
#include "platform/Files.h"

namespace korvel {
namespace {

constexpr std::size_t kMaxRecordPassword = 81;

std::int32_t Flag(bool on) {
  return on ? -1 : 0;
}

std::string FolderOf(const std::string& path) {
  std::size_t cut = path.find_last_of(platform::kPathSeparator);
  if (cut == std::string::npos) return {};
  if (cut == 0) return std::string(1, platform::kPathSeparator);
  return path.substr(0, cut);
}

std::string FullPath(const std::string& path) {
  if (path.empty() || path[0] == platform::kPathSeparator) return path;
  return platform::JoinPath(platform::CurrentDirectory(), path);
}

// Creates `folder` with every missing parent; false when it does not exist afterwards.
bool ForceDirectories(const std::string& folder) {
  if (folder.empty() || platform::DirectoryExists(folder)) return true;
  std::string parent = FolderOf(folder);
  if (!parent.empty() && parent != folder && !ForceDirectories(parent)) return false;
  try {
    platform::CreateDirectory(folder);
  } catch (const std::exception&) {
    // Someone else may have made it meanwhile; only the outcome counts.
  }
  return platform::DirectoryExists(folder);
}

// "mm dd yy" of a day count since 1899-12-30.
void FormatAddFrom(platform::DateTime date, char (&out)[8]) {
  // Civil date from days since 1970-01-01 (Howard Hinnant's algorithm).
  std::int64_t z = static_cast<std::int64_t>(date) - 25569 + 719468;
  std::int64_t era = (z >= 0 ? z : z - 146096) / 146097;
  std::int64_t doe = z - era * 146097;
  std::int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
  std::int64_t y = yoe + era * 400;
  std::int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
  std::int64_t mp = (5 * doy + 2) / 153;
  std::int64_t d = doy - (153 * mp + 2) / 5 + 1;
  std::int64_t m = mp < 10 ? mp + 3 : mp - 9;
  if (m <= 2) ++y;
  auto two = [](std::int64_t v, char* at) {
    v = ((v % 100) + 100) % 100;
    at[0] = static_cast<char>('0' + v / 10);
    at[1] = static_cast<char>('0' + v % 10);
  };
  two(m, out);
  out[2] = ' ';
  two(d, out + 3);
  out[5] = ' ';
  two(y, out + 6);
}

// One pattern line: a leading ">" recurses and "|" does not, whatever the options say; "<" with
// a password behind it encrypts with that password, "<" alone or before a space not at all.
PackFileSpec ParsePackLine(std::string_view line, const std::string& password, bool encrypt,
                           std::uint16_t recurse, std::vector<std::string>& texts) {
  PackFileSpec entry{};
  entry.Recurse = recurse;
  entry.Encrypt = Flag(encrypt);
  const char* line_password = password.empty() ? nullptr : password.c_str();
  if (!line.empty() && line[0] == '>') {
    entry.Recurse = 0xFFFF;
    line.remove_prefix(1);
  } else if (!line.empty() && line[0] == '|') {
    entry.Recurse = 0;
    line.remove_prefix(1);
  }
  std::size_t mark = line.find('<');
  if (mark != std::string_view::npos) {
    std::string_view after = line.substr(mark + 1);
    if (after.empty() || after[0] == ' ') {
      entry.Encrypt = 0;
      line_password = nullptr;
    } else {
      texts.emplace_back(after.substr(0, kMaxRecordPassword));
      line_password = texts.back().c_str();
      entry.Encrypt = 0xFFFF;
    }
    line = line.substr(0, mark);
  }
  entry.Password = line_password;
  texts.push_back(Trim(line));
  entry.FileSpec = texts.back().empty() ? nullptr : texts.back().c_str();
  return entry;
}

}  // namespace

void TArchiveWorker::BuildUnpackCommand(std::int32_t version, std::uint32_t password_requests,
                                        UnpackCommand& command) {
  const ExtrOpts& o = settings_.ExtrOptions;
  bool test = o.Contains(ExtrOptsEnum::ExtrTest);
  bool update = o.Contains(ExtrOptsEnum::ExtrUpdate);
  if (!settings_.ExtrBaseDir.empty() && !test) {
    command.base_dir = settings_.ExtrBaseDir;
    if (o.Contains(ExtrOptsEnum::ExtrForceDirs)) ForceDirectories(command.base_dir);
    if (!platform::DirectoryExists(command.base_dir))
      throw EArchiveError(kArchiveNoExtractDir, command.base_dir);
  }
  if (!fspec_args_.empty() && fspec_args_.front() != "*.*") {
    command.specs.resize(fspec_args_.size());
    for (std::size_t i = 0; i < fspec_args_.size(); ++i)
      command.specs[i].FileSpec = fspec_args_[i].c_str();
  }

  UnpackCommandRecord& rec = command.record;
  std::memset(&rec, 0, sizeof rec);
  rec.Handle = Unattended() ? nullptr : ArchiveUiHooks().ApplicationWindow;
  rec.Caller = this;
  rec.Version = version;
  rec.Callback = &TArchiveWorker::Callback;
  rec.Trace = Flag(Trace());
  rec.Password = settings_.Password.c_str();
  rec.Test = Flag(test);
  rec.Quiet = -1;
  rec.Verbose = Flag(Verbose() || Trace());
  rec.Update = Flag(update);
  rec.Freshen = Flag(o.Contains(ExtrOptsEnum::ExtrFreshen) && !update);
  rec.DirNames = Flag(o.Contains(ExtrOptsEnum::ExtrDirNames));
  rec.Overwrite = Flag(o.Contains(ExtrOptsEnum::ExtrOverWrite));
  rec.SpecCount = static_cast<std::int32_t>(command.specs.size());
  rec.ZipFileName = zip_file_name_.c_str();
  rec.Specs = command.specs.empty() ? nullptr : command.specs.data();
  rec.PasswordRequests = static_cast<std::int32_t>(password_requests);
  rec.BaseDir = command.base_dir.empty() ? nullptr : command.base_dir.c_str();
  rec.RecordMark = KORVEL_RECORD_RECORD_MARK;
}

void TArchiveWorker::BuildPackCommand(const AddOpts& options, const std::vector<std::string>& lines,
                                      PackCommand& command) {
  command.archive = FullPath(zip_file_name_);
  std::string folder = FolderOf(command.archive);
  if (options.Contains(AddOptsEnum::AddForceDest)) ForceDirectories(folder);
  if (!folder.empty() && !platform::DirectoryExists(folder))
    throw EArchiveError(kArchiveNoDestinationDir, folder);

  command.password = settings_.Password.substr(0, kMaxRecordPassword);
  command.suffixes = StoreSuffixList(settings_.AddStoreSuffixes, settings_.ExtAddStoreSuffixes);
  command.root = settings_.RootDir.empty() ? std::string() : FullPath(settings_.RootDir);
  command.reference =
      settings_.ReferenceZip.empty() ? std::string() : FullPath(settings_.ReferenceZip);
  bool encrypt = options.Contains(AddOptsEnum::AddEncrypt);
  std::uint16_t recurse = options.Contains(AddOptsEnum::AddRecurseDirs) ? 0xFFFF : 0;
  command.texts.reserve(lines.size() * 2);
  for (const std::string& line : lines)
    command.specs.push_back(ParsePackLine(line, command.password, encrypt, recurse, command.texts));
  for (const std::string& e : fspec_args_excl_) command.excludes.push_back(e.c_str());
  FillPackRecord(options, command);
}

void TArchiveWorker::FillPackRecord(const AddOpts& options, PackCommand& command) {
  PackCommandRecord& rec = command.record;
  std::memset(&rec, 0, sizeof rec);
  rec.Handle = ArchiveUiHooks().ApplicationWindow;
  rec.Caller = this;
  rec.Version = KORVEL_ENGINE_VERSION;
  rec.Callback = &TArchiveWorker::Callback;
  rec.Trace = Flag(Trace());
  rec.Password = command.password.empty() ? nullptr : command.password.c_str();
  rec.StoreSuffixes = command.suffixes.empty() ? nullptr : command.suffixes.c_str();
  rec.Encrypt = Flag(options.Contains(AddOptsEnum::AddEncrypt));
  rec.HiddenFiles = Flag(options.Contains(AddOptsEnum::AddHiddenFiles));
  rec.Volume = Flag(options.Contains(AddOptsEnum::AddVolume));
  rec.ReferenceZip = command.reference.empty() ? nullptr : command.reference.c_str();
  rec.NoDirEntries = Flag(!options.Contains(AddOptsEnum::AddSeparateDirs));
  rec.FromDate = Flag(options.Contains(AddOptsEnum::AddFromDate));
  rec.Verbose = Flag(Verbose() || Trace());
  rec.Quiet = -1;
  rec.Level = settings_.AddCompLevel;
  rec.JunkDirNames = Flag(!options.Contains(AddOptsEnum::AddDirNames));
  rec.Recurse = options.Contains(AddOptsEnum::AddRecurseDirs) ? 0xFFFF : 0;
  rec.NotSafe = Flag(!options.Contains(AddOptsEnum::AddSafe));
  rec.ForceDos = Flag(options.Contains(AddOptsEnum::AddForceDOS));
  rec.Move = Flag(options.Contains(AddOptsEnum::AddMove));
  bool update = options.Contains(AddOptsEnum::AddUpdate);
  rec.Update = Flag(update);
  rec.Freshen = Flag(options.Contains(AddOptsEnum::AddFreshen) && !update);
  rec.ZipTime = Flag(options.Contains(AddOptsEnum::AddZipTime));
  FormatAddFrom(settings_.AddFrom, rec.Date);
  rec.SpecCount = static_cast<std::int32_t>(command.specs.size());
  rec.ZipFileName = command.archive.c_str();
  rec.TempDir = settings_.TempDir.empty() ? nullptr : settings_.TempDir.c_str();
  rec.Comment = zip_comment_.empty() ? nullptr : zip_comment_.c_str();
  rec.ArchiveOnly = options.Contains(AddOptsEnum::AddArchiveOnly) ? 1 : 0;
  rec.ResetArchive = options.Contains(AddOptsEnum::AddResetArchive) ? 1 : 0;
  rec.Specs = command.specs.data();
  rec.ExcludeCount = static_cast<std::int32_t>(command.excludes.size());
  rec.Excludes = command.excludes.empty() ? nullptr : command.excludes.data();
  rec.AllowUndo = Flag(settings_.HowToDelete == DeleteOpts::htdAllowUndo);
  rec.CodePage = settings_.CodePage == CodePageOpts::cpOEM ? 2 : 0;
  rec.Version2 = KORVEL_ENGINE_VERSION;
  rec.RootDir = command.root.empty() ? nullptr : command.root.c_str();
  rec.RecordMark = KORVEL_RECORD_RECORD_MARK;
}

}  // namespace korvel

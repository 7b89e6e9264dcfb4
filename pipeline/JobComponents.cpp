// The components of a job and the rules every route shares.
#include "pipeline/JobComponents.h"

#include "archive/EngineLoader.h"
#include "payload/ProgramStore.h"
#include "platform/Files.h"

namespace korvel {

void ApplyPatchJobSettings(TArchiver& zip) {
  zip.SetAddOptions({AddOptsEnum::AddDirNames, AddOptsEnum::AddRecurseDirs,
                     AddOptsEnum::AddSeparateDirs, AddOptsEnum::AddHiddenFiles});
  zip.SetExtrOptions({ExtrOptsEnum::ExtrDirNames, ExtrOptsEnum::ExtrOverWrite});
  zip.SetAddCompLevel(9);
  // Every entry is deflated; the engine stores those that do not shrink.
  zip.SetAddStoreSuffixes({});
}

void ApplyPatchJobSettings(TEasyFileSearch& fs) {
  fs.SetSearchOptions(TOptions::All().Exclude(okLookForDirectory));
  fs.SetFilterKind(TFilter());
}

bool IsGameFileName(std::string_view name) {
  constexpr std::string_view kExtension = ".jar";
  if (name.size() < kExtension.size()) return false;
  const std::string_view tail = name.substr(name.size() - kExtension.size());
  for (std::size_t i = 0; i < tail.size(); ++i) {
    const char c = tail[i];
    const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
    if (lower != kExtension[i]) return false;
  }
  return true;
}

std::optional<Failure> ReadOnlyRefusal(const std::string& jar) {
  if (!platform::IsReadOnly(jar)) return std::nullopt;
  return Failure{TextId::kJarReadOnly, {jar}, 0, {}, nullptr};
}

std::string LanguageFilePath(const Locations& locations, const std::string& lang_file) {
  return ResolveLanguageFile(locations.language_dirs, lang_file);
}

JobComponents::JobComponents(const Settings& settings, const Language& texts)
    : settings_(settings), texts_(texts) {
  ApplyPatchJobSettings(Zip);
  ApplyPatchJobSettings(fs);
  LoadProgramStore(storeClass);
}

void JobComponents::SetEngineDirectory(const std::string& dir) {
  Zip.SetDLLDirectory(dir);
}

std::vector<std::string> JobComponents::LoadEngines() {
  std::vector<std::string> missing;
  if (Zip.LoadUnzEngine(true) == 0) missing.emplace_back(kUnpackEngineName);
  if (Zip.LoadZipEngine(true) == 0) missing.emplace_back(kPackEngineName);
  return missing;
}

void JobComponents::UnloadEngines() {
  Zip.UnloadUnzEngine();
  Zip.UnloadZipEngine();
}

std::unique_ptr<PatchJob> JobComponents::MakeJob(JobSink& sink, const std::string& job_dir,
                                                 JobOptions options) {
  return std::make_unique<PatchJob>(
      JobContext{Zip, fs, storeClass, settings_, texts_, sink, job_dir, std::move(options)});
}

}  // namespace korvel

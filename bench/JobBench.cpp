// Adapts a copy of every sample suite and compares the job's time with Info-ZIP unpacking and
// repacking the same content (unzip, then zip -9 -r), with the output sizes side by side.
//   job_bench [CORPUS_DIR]
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "archive/ZipMstr.h"
#include "payload/ProgramStore.h"
#include "pipeline/PatchJob.h"
#include "search/EasyFileSearch.h"
#include "store/mxStorage.h"

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

class SilentSink : public korvel::JobSink {
 public:
  void ConsoleLine(const std::string&) override {}
  void SetGauge(int) override {}
};

double Seconds(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

}  // namespace

int main(int argc, char** argv) {
  const fs::path corpus = argc > 1 ? argv[1] : KORVEL_CORPUS_DIR;
  const fs::path scratch = fs::temp_directory_path() / "korvel-job-bench";
  fs::remove_all(scratch);
  fs::create_directories(scratch / "program");

  korvel::TZipMaster zip;
  korvel::ApplyPatchJobSettings(zip);
  zip.SetDLLDirectory(KORVEL_PROGRAM_DIR);
  korvel::TEasyFileSearch search;
  korvel::ApplyPatchJobSettings(search);
  korvel::TmxStorage store;
  korvel::LoadProgramStore(store);
  korvel::Settings settings;
  korvel::Language texts;
  SilentSink sink;
  korvel::PatchJob job({zip, search, store, settings, texts, sink, (scratch / "program").string()});

  std::printf("%-24s %10s %12s %12s %12s\n", "suite", "job s", "unzip+zip s", "job bytes",
              "zip bytes");
  double job_total = 0, info_total = 0;
  std::uintmax_t job_bytes = 0, info_bytes = 0;
  for (const auto& folder : fs::directory_iterator(corpus)) {
    if (!folder.is_directory()) continue;
    for (const auto& file : fs::directory_iterator(folder.path())) {
      if (file.path().extension() != ".jar") continue;
      const fs::path work = scratch / folder.path().filename();
      fs::create_directories(work / "unpacked");
      const fs::path copy = work / file.path().filename();
      fs::copy_file(file.path(), copy);

      auto start = Clock::now();
      const bool adapted = job.ProcessJar(copy.string(), false) == JobOutcome::kAdapted;
      const double job_seconds = Seconds(start);

      start = Clock::now();
      const std::string command = "unzip -qq '" + file.path().string() + "' -d '" +
                                  (work / "unpacked").string() + "' && cd '" +
                                  (work / "unpacked").string() + "' && zip -q -9 -r ../info.zip .";
      const int status = std::system(command.c_str());
      const double info_seconds = Seconds(start);

      const std::uintmax_t ours = adapted ? fs::file_size(copy) : 0;
      const std::uintmax_t theirs = status == 0 ? fs::file_size(work / "info.zip") : 0;
      std::printf("%-24s %10.3f %12.3f %12ju %12ju%s\n", folder.path().filename().c_str(),
                  job_seconds, info_seconds, ours, theirs, adapted ? "" : "  (job failed)");
      job_total += job_seconds;
      info_total += info_seconds;
      job_bytes += ours;
      info_bytes += theirs;
    }
  }
  std::printf("%-24s %10.3f %12.3f %12ju %12ju\n", "total", job_total, info_total, job_bytes,
              info_bytes);
  fs::remove_all(scratch);
  return 0;
}

// The patch job against doing the same by hand. For every sample game (a fresh copy each time)
// and for one generated large JAR it times korvel-patch as a whole process against unzip followed
// by zip -9 -r of the same game, the two run alternately, and prints the medians' ratio. The
// sample games are also adapted all at once by one process, the way a collection is adapted
// (korvel-patch FOLDER, the batch dialog), against the same games done by hand one by one. Sizes:
// the adapted JARs against the input JARs, and against zip -9 of the very files the job packed.
// Per game: how much the adapted JAR grew beyond what the job added to it (injected classes,
// Nokia classes, new folders, a longer manifest), which should never be above 0.
// Peak memory: the largest resident size korvel-patch reached on the large JAR.
//   job_bench [ROUNDS [FOLDER]]   (default 5 rounds in the system's temporary folder)
// korvel-patch and its engines are copied into FOLDER, so that the job's work folder and the
// hand-made one lie on the same file system.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/JarGrowth.h"

namespace fs = std::filesystem;

namespace {

// Content of the large JAR (about 50 MB packed): the sample games' files over and over, each copy
// in its own folder, so that it holds what real games hold in the proportions they hold it.
constexpr std::uintmax_t kLargeJarContent = 70'000'000;

struct Process {
  double seconds = 0;
  long peak_kib = 0;
  bool ok = false;
};

Process RunShell(const std::string& command) {
  Process result;
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (pid > 0 && wait4(pid, &status, 0, &usage) == pid) {
    result.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    result.peak_kib = usage.ru_maxrss;
  }
  result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  return result;
}

std::string Quoted(const fs::path& path) {
  return "'" + path.string() + "'";
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n == 0 ? 0 : n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

std::string LoadAverage() {
  std::ifstream file("/proc/loadavg");
  std::string one, five;
  file >> one >> five;
  return one + " " + five;
}

struct Game {
  std::string name;
  fs::path jar;
  std::uintmax_t input = 0, output = 0, zip9 = 0;
  korvel::test::JarGrowth growth = {};
};

// What the job does, as a user runs it, settings given explicitly: on one game, or on every game
// in a folder in one process, as `korvel-patch FOLDER` and the batch dialog adapt a collection.
Process RunJob(const fs::path& program, const fs::path& jar_or_folder) {
  return RunShell(Quoted(program / "korvel-patch") +
                  " --quiet --no-backup --nokia --jad --filter --width 128 --height 116 " +
                  Quoted(jar_or_folder) + " >/dev/null");
}

// The same by hand: unpack, then pack again at the best level.
Process RunByHand(const fs::path& jar, const fs::path& work) {
  fs::remove_all(work);
  fs::create_directories(work / "files");
  return RunShell("unzip -qq " + Quoted(jar) + " -d " + Quoted(work / "files") + " && cd " +
                  Quoted(work / "files") + " && zip -q -9 -r ../by-hand.zip .");
}

// zip -9 of the files inside `jar`.
std::uintmax_t ZipNineSize(const fs::path& jar, const fs::path& work) {
  return RunByHand(jar, work).ok ? fs::file_size(work / "by-hand.zip") : 0;
}

fs::path MakeLargeJar(const std::vector<Game>& games, const fs::path& scratch,
                      std::size_t& entries) {
  const fs::path tree = scratch / "large";
  fs::create_directories(tree / "META-INF");
  std::ofstream(tree / "META-INF" / "MANIFEST.MF")
      << "Manifest-Version: 1.0\r\nMIDlet-1: Large,,Large\r\nMIDlet-Name: Large\r\n"
         "MIDlet-Version: 1.0\r\nMicroEdition-Profile: MIDP-2.0\r\n"
         "MicroEdition-Configuration: CLDC-1.1\r\n";
  std::uintmax_t content = 0;
  for (int copy = 0; content < kLargeJarContent; ++copy) {
    for (const Game& game : games) {
      const fs::path folder = tree / ("copy" + std::to_string(copy)) / game.name;
      fs::create_directories(folder);
      RunShell("unzip -qq " + Quoted(game.jar) + " -x 'META-INF/*' -d " + Quoted(folder));
    }
    content = 0;
    for (const auto& file : fs::recursive_directory_iterator(tree))
      if (file.is_regular_file()) content += file.file_size();
  }
  entries = 0;
  for (const auto& file : fs::recursive_directory_iterator(tree)) (void)file, ++entries;
  const fs::path jar = scratch / "Large.jar";
  RunShell("cd " + Quoted(tree) + " && zip -q -r " + Quoted(jar) + " .");
  fs::remove_all(tree);
  return jar;
}

struct Times {
  std::vector<double> job, by_hand;
};

void PrintRow(const char* work, const Times& times, std::uintmax_t input, std::uintmax_t output,
              std::uintmax_t zip9) {
  const double job = Median(times.job), by_hand = Median(times.by_hand);
  std::printf("%-36s %8.3f %9.3f %6.2f %11ju %11ju %11ju %7.3f %8.3f\n", work, job, by_hand,
              job / by_hand, input, output, zip9, double(output) / double(input),
              double(output) / double(zip9));
}

// The rounds of measurements, and what they found.
struct Bench {
  fs::path program, copies, hand;
  std::vector<Game> games;
  Game large;
  std::size_t large_entries = 0;
  Times samples, collection, large_times;
  std::uintmax_t collection_output = 0;  // the sample games adapted by one process
  long large_peak_kib = 0;
  bool all_adapted = true;

  // One game by the job and by hand, in the order given, from a fresh copy.
  void Measure(Game& game, bool job_first, Times& times, long* peak) {
    fs::remove_all(copies);
    fs::create_directories(copies);
    const fs::path copy = copies / game.jar.filename();
    fs::copy_file(game.jar, copy);
    Process job, by_hand;
    if (!job_first) by_hand = RunByHand(game.jar, hand);
    job = RunJob(program, copy);
    if (job_first) by_hand = RunByHand(game.jar, hand);
    all_adapted = all_adapted && job.ok && by_hand.ok;
    times.job.push_back(job.seconds);
    times.by_hand.push_back(by_hand.seconds);
    if (peak != nullptr) *peak = std::max(*peak, job.peak_kib);
    game.input = fs::file_size(game.jar);
    game.output = fs::file_size(copy);
    game.growth = korvel::test::MeasureJarGrowth(game.jar, copy);
    if (game.zip9 == 0) game.zip9 = ZipNineSize(copy, hand);
  }

  // Every sample game, fresh copies, adapted by one process.
  void AdaptCollection() {
    fs::remove_all(copies);
    fs::create_directories(copies);
    for (const Game& game : games) fs::copy_file(game.jar, copies / game.jar.filename());
    const Process job = RunJob(program, copies);
    all_adapted = all_adapted && job.ok;
    collection.job.push_back(job.seconds);
    collection_output = 0;
    for (const auto& file : fs::directory_iterator(copies))
      if (file.path().extension() == ".jar") collection_output += file.file_size();
  }

  void Round(int round) {
    const bool job_first = round % 2 == 0;
    Times round_times;
    if (job_first) AdaptCollection();
    for (Game& game : games) Measure(game, job_first, round_times, nullptr);
    if (!job_first) AdaptCollection();
    double job_sum = 0, hand_sum = 0;
    for (double s : round_times.job) job_sum += s;
    for (double s : round_times.by_hand) hand_sum += s;
    samples.job.push_back(job_sum);
    samples.by_hand.push_back(hand_sum);
    collection.by_hand.push_back(hand_sum);
    Measure(large, !job_first, large_times, &large_peak_kib);
  }

  void Print() const {
    std::uintmax_t input = 0, output = 0, zip9 = 0;
    for (const Game& game : games) {
      input += game.input;
      output += game.output;
      zip9 += game.zip9;
    }
    std::printf("%-36s %8s %9s %6s %11s %11s %11s %7s %8s\n", "work", "job s", "by hand s", "ratio",
                "input B", "output B", "zip -9 B", "out/in", "out/zip9");
    const std::string samples_label = std::to_string(games.size()) + " sample games";
    PrintRow((samples_label + ", a process each").c_str(), samples, input, output, zip9);
    PrintRow((samples_label + ", one process").c_str(), collection, input, collection_output, zip9);
    const std::string large_label = "large JAR, " + std::to_string(large_entries) + " entries";
    PrintRow(large_label.c_str(), large_times, large.input, large.output, large.zip9);
    std::printf("peak memory of the job on the large JAR: %.1f MiB\n", large_peak_kib / 1024.0);
    std::printf("\n%-22s %9s %9s %8s %8s %8s\n", "game", "input B", "output B", "growth", "added",
                "beyond");
    const Game* worst = &games.front();
    for (const Game& game : games) {
      std::printf("%-22s %9ju %9ju %8jd %8jd %8jd\n", game.name.c_str(), game.input, game.output,
                  static_cast<std::intmax_t>(game.growth.growth),
                  static_cast<std::intmax_t>(game.growth.added),
                  static_cast<std::intmax_t>(game.growth.Beyond()));
      if (game.growth.Beyond() > worst->growth.Beyond()) worst = &game;
    }
    std::printf("largest growth beyond what was added: %jd B (%s)\n",
                static_cast<std::intmax_t>(std::max<std::int64_t>(worst->growth.Beyond(), 0)),
                worst->growth.Beyond() > 0 ? worst->name.c_str() : "none grew beyond it");
    if (!all_adapted) std::printf("SOME RUNS FAILED: the figures above are not valid\n");
  }
};

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  const fs::path corpus = KORVEL_CORPUS_DIR;
  const fs::path scratch =
      (argc > 2 ? fs::path(argv[2]) : fs::temp_directory_path()) / "korvel-job-bench";
  fs::remove_all(scratch);
  Bench bench;
  bench.program = scratch / "program";
  bench.copies = scratch / "copies";
  bench.hand = scratch / "by-hand";
  fs::create_directories(bench.program);
  for (const char* file : {"korvel-patch", "libpackeng.so", "libunpkeng.so"})
    fs::copy_file(fs::path(KORVEL_PROGRAM_DIR) / file, bench.program / file);
  const std::string load_before = LoadAverage();

  for (const auto& folder : fs::directory_iterator(corpus)) {
    if (!folder.is_directory()) continue;
    for (const auto& file : fs::directory_iterator(folder.path()))
      if (file.path().extension() == ".jar")
        bench.games.push_back({folder.path().filename().string(), file.path()});
  }
  std::sort(bench.games.begin(), bench.games.end(),
            [](const Game& a, const Game& b) { return a.name < b.name; });
  bench.large = {"large", MakeLargeJar(bench.games, scratch, bench.large_entries)};

  for (int round = 0; round < rounds; ++round) bench.Round(round);
  std::printf("median of %d rounds in %s; load average before %s, after %s\n", rounds,
              scratch.parent_path().c_str(), load_before.c_str(), LoadAverage().c_str());
  bench.Print();
  fs::remove_all(scratch);
  return bench.all_adapted ? 0 : 1;
}

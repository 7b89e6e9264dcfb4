// Reads tests/data/corpus/suites.tsv.
#include "support/CorpusSuites.h"

#include <cctype>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "support/TempDir.h"

namespace korvel::test {

namespace {

std::vector<std::string> SplitTabs(const std::string& line) {
  std::vector<std::string> fields;
  std::string field;
  std::istringstream in(line);
  while (std::getline(in, field, '\t')) fields.push_back(field);
  return fields;
}

std::vector<Suite> LoadSuites() {
  const std::string list = std::string(KORVEL_CORPUS_DIR) + "/suites.tsv";
  std::ifstream in(list);
  if (!in) throw std::runtime_error("the list of sample games is missing: " + list);
  std::vector<Suite> suites;
  std::string line;
  for (int number = 1; std::getline(in, line); ++number) {
    if (line.empty() || line[0] == '#') continue;
    const std::vector<std::string> f = SplitTabs(line);
    if (f.size() != 8) {
      throw std::runtime_error(list + ":" + std::to_string(number) + ": eight fields expected");
    }
    suites.push_back({f[0], f[1], f[2] == "-" ? "" : f[2], std::stoi(f[3]), std::stoi(f[4]),
                      std::stoi(f[5]), std::stoi(f[6]), f[7] == "-" ? "" : f[7]});
  }
  if (suites.empty()) throw std::runtime_error("no sample games listed in " + list);
  return suites;
}

}  // namespace

std::string Suite::JarPath() const {
  return CorpusFile(folder + "/" + jar);
}

std::string Suite::JadPath() const {
  return jad.empty() ? std::string() : CorpusFile(folder + "/" + jad);
}

const std::vector<Suite>& Suites() {
  static const std::vector<Suite> suites = LoadSuites();
  return suites;
}

std::vector<Suite> SuitesWithDescriptor() {
  std::vector<Suite> suites;
  for (const Suite& s : Suites()) {
    if (!s.jad.empty()) suites.push_back(s);
  }
  return suites;
}

std::string SuiteName(const testing::TestParamInfo<Suite>& info) {
  std::string name = info.param.folder;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

}  // namespace korvel::test

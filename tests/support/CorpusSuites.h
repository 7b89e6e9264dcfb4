// The sample games of tests/data/corpus, with what is known about each (its suites.tsv).
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace korvel::test {

struct Suite {
  std::string folder;
  std::string jar;
  std::string jad;  // empty when the game has none
  int classes = 0;
  int canvases = 0;       // classes extending the MIDP canvas or game canvas directly
  int game_canvases = 0;  // those of them that extend the game canvas
  int nokia_users = 0;
  std::string keys;  // the key layout its classes show ("6-7"), empty for none

  std::string JarPath() const;
  std::string JadPath() const;  // "" when the game has none
};

// Every game of suites.tsv, in its order. A missing or malformed list raises
// std::runtime_error, so a test program without its sample games fails instead of skipping.
const std::vector<Suite>& Suites();
std::vector<Suite> SuitesWithDescriptor();

// The test name part of a parameterised test over the suites: the folder, made an identifier.
std::string SuiteName(const testing::TestParamInfo<Suite>& info);

inline void PrintTo(const Suite& suite, std::ostream* os) {
  *os << suite.folder;
}

}  // namespace korvel::test

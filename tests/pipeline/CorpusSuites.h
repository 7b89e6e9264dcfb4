// The sample MIDlet suites of the shared corpus, with what is known about each.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace korvel::test {

struct Suite {
  const char* folder;
  const char* jar;
  const char* jad;  // nullptr when the suite has none
  int classes;
  int canvases;       // classes extending the MIDP canvas or game canvas directly
  int game_canvases;  // those of them that extend the game canvas
  int nokia_users;
};

// Counts as the corpus lists them.
inline const Suite kSuites[] = {
    {"ray-tetris-n3410", "Tetris_N3410.jar", "Tetris_N3410.jad", 11, 0, 0, 1},
    {"ray-mobilechase-7650", "MobileChase_7650.jar", "MobileChase_7650.jad", 7, 0, 0, 2},
    {"ray-airboil-c65", "AirBoil_c65.jar", "AirBoil_c65.jad", 13, 1, 1, 0},
    {"ray-airboil-n3510", "AirBoil_n3510.jar", "AirBoil_n3510.jad", 13, 0, 0, 6},
    {"ray-assault-s55", "Assault_S55.jar", "Assault_S55.jad", 15, 1, 0, 0},
    {"ray-infoncat", "INFONCat.jar", "INFONCat.jad", 14, 1, 0, 1},
    {"ray-sh-e398", "SH_e398.jar", "SH_e398.jad", 13, 1, 1, 0},
    {"minitruco", "miniTruco.jar", "miniTruco.jad", 36, 5, 0, 0},
    {"minitruco-light", "miniTrucoLight.jar", "miniTrucoLight.jad", 22, 2, 0, 0},
    {"opentty-1.1", "OpenTTY-1.1.jar", nullptr, 1, 0, 0, 0},
    {"opentty-1.14.3", "OpenTTY.jar", "OpenTTY.jad", 20, 1, 0, 0},
    {"saymond-fluidsim2d", "FluidSim2D.jar", nullptr, 7, 1, 0, 0},
    {"saymond-systeminfo", "SystemInfo.jar", nullptr, 2, 1, 0, 0},
    {"saymond-strudel", "Strudel.jar", nullptr, 27, 1, 0, 0},
    {"fplay", "FPlay.jar", "FPlay.jad", 67, 1, 0, 1},
    {"nextcaltrain", "NextCaltrain-1.2.jar", "NextCaltrain-1.2.jad", 16, 5, 0, 0},
    {"apress-hello", "hello.jar", "hello.jad", 2, 1, 0, 0},
    {"apress-jump", "jump.jar", "jump.jad", 7, 1, 1, 0},
    {"apress-book7", "book.jar", "book.jad", 17, 3, 1, 0},
    {"snakewar", "SnakeWar.jar", "SnakeWar.jad", 20, 4, 4, 0},
    {"xetang", "Xe Tang.jar", "Xe Tang.jad", 8, 2, 1, 0},
    {"sokoban", "Sokoban.jar", "Sokoban.jad", 5, 1, 0, 0},
};

inline void PrintTo(const Suite& suite, std::ostream* os) {
  *os << suite.folder;
}

inline std::vector<Suite> SuitesWithDescriptor() {
  std::vector<Suite> suites;
  for (const Suite& s : kSuites) {
    if (s.jad != nullptr) suites.push_back(s);
  }
  return suites;
}

inline std::string SuiteName(const testing::TestParamInfo<Suite>& info) {
  std::string name = info.param.folder;
  for (char& c : name) {
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  }
  return name;
}

}  // namespace korvel::test

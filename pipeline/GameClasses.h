// The class step: a game's classes read once into memory, adapted there by the passes of
// pipeline/ClassPasses.h, and the changed ones written back once.
//
// A job takes it in phases:
//   1. GameClasses::Read: the class files a search of the work folder found. Read them when the
//      keys are considered (for KeyEvidence), else after the already-adapted check, which reads
//      our classes from the folder (InjectedCanvasSize and InjectedKeyMap of a work folder,
//      below), so that a game adapted already is never opened for writing.
//   2. KeyEvidence, only when the keys are considered.
//   3. Adapt: the Nokia test and the redirect with the rename, over every class outside the
//      Nokia package (all of them without the Nokia option).
//   4. AddStandInPackage when the Nokia option is on and some class uses the package, then
//      AdaptStandInPackage when the option is on: its classes (ours, or the game's) adapted.
//   5. Write: the changed and added classes into the work folder.
//   6. WriteInjectedClasses (pipeline/InjectedClasses.h) with Use(), removing leftovers only
//      when there were no warnings.
#pragma once

#include <cstdint>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "pipeline/ClassPasses.h"
#include "pipeline/InjectedClasses.h"
#include "pipeline/KeyHandlers.h"
#include "store/StoredItems.h"

namespace korvel {

// One class of the game, or of ours.
struct GameClass {
  std::string path;  // below the work folder, "/" between the parts
  std::string bytes;
  bool changed = false;        // to be written back
  bool added = false;          // ours, from a stand-in package: not in the work folder yet
  std::uint32_t dos_time = 0;  // of an added class: the date its archive gives it
};

// A class that could not be read: left as it is, and named with the reason.
struct ClassWarning {
  std::string path;
  std::string error;
  bool operator==(const ClassWarning&) const = default;
};

// What the game's classes tell about its keys.
struct ClassKeyEvidence {
  // The layout the codes compared in its key handlers show (LayoutShownByCodes).
  std::optional<KeyLayout> compared;
  bool nokia_ui = false;             // a class outside the Nokia package uses com/nokia/mid/ui/
  bool nokia_package = false;        // some class refers to com/nokia/mid/
  bool key_classes = false;          // the game carries our key classes from an earlier adaptation
  std::vector<ClassKeyFacts> facts;  // of every class that could be read
  // The classes whose key handlers are renamed (CanvasDescendants).
  std::set<std::string> Canvases(bool nokia_stand_in) const;
};

struct AdaptOptions {
  bool nokia = false;              // the Nokia option: the Nokia package's classes wait for ours
  bool keys = false;               // the canvases go onto the key canvases
  std::set<std::string> canvases;  // whose key handlers are renamed
};

struct AdaptResult {
  int redirected = 0;  // classes now built on one of our canvases that were not before
  // Classes that refer to each stand-in package, in the order of kStandInPackages.
  std::vector<int> package_users = std::vector<int>(std::size(kStandInPackages));
  // Some class builds on FullCn (FullGameCn), or its key twin, now or from before.
  bool uses_full_canvas = false;
  bool uses_full_game_canvas = false;
  std::vector<ClassWarning> warnings;  // in the order the classes were adapted

  int NokiaUsers() const { return package_users[0]; }
  bool Adapts() const { return uses_full_canvas || uses_full_game_canvas; }
  InjectedUse Use(bool keys) const { return {uses_full_canvas, uses_full_game_canvas, keys}; }
};

class GameClasses {
 public:
  // Reads the class files `paths` (relative to `work_dir`, "/" between the parts) in their order.
  // Each is opened for reading and writing, so a read-only or vanished file raises FileError.
  static GameClasses Read(const std::string& work_dir, const std::vector<std::string>& paths);

  const std::vector<GameClass>& Classes() const { return classes_; }
  const GameClass* Find(std::string_view path) const;

  ClassKeyEvidence KeyEvidence() const;

  // The Nokia test and the redirect with the rename over every class, but those of the Nokia
  // package with the Nokia option.
  AdaptResult Adapt(const AdaptOptions& options);
  // The package's classes from the program's store, over any of the game's of the same name.
  // Raises StoreError, or ZipFormatError for an archive that cannot be read.
  void AddStandInPackage(const TmxStorage& store, const StandInPackage& package);
  // The redirect with the rename over the package's classes, counted into `result`.
  void AdaptStandInPackage(const StandInPackage& package, const AdaptOptions& options,
                           AdaptResult& result);

  // Writes the changed and added classes below `work_dir`; an added class that did not change
  // keeps its archive's date. Raises FileError.
  void Write(const std::string& work_dir);

  // What an earlier adaptation left, read from the classes in memory (see the functions of the
  // same names below for the same read from the folder).
  std::optional<CanvasSize> InjectedCanvasSize() const;
  std::optional<KeyMapCodes> InjectedKeyMap(const TmxStorage& store) const;

 private:
  void AdaptOne(GameClass& cls, const AdaptOptions& options, AdaptResult& result);

  std::vector<GameClass> classes_;
};

// The redirect (pipeline/ClassPasses.h) on one class's bytes, changed only for kCanvas and
// kGameCanvas (and, with `keys`, a class moved from FullCn or FullGameCn onto the key canvases).
// Raises ClassFormatError for a malformed class, which is then left as it was.
CanvasKind RedirectCanvasClass(std::string& bytes, bool keys = false);

// Whether the folder's game carries our key classes from an earlier adaptation.
bool CarriesKeyClasses(const std::string& work_dir);

// The canvas size an earlier adaptation wrote into the unpacked game below `work_dir`
// (AgreedCanvasSize of its FullCn and FullGameCn); a class file that cannot be read counts as
// not there.
std::optional<CanvasSize> InjectedCanvasSize(const std::string& work_dir);

// The codes of the KeyMap an earlier adaptation wrote below `work_dir`; nothing when there is
// none, it cannot be read or it is not ours. Raises StoreError when the store lacks KeyMap.
std::optional<KeyMapCodes> InjectedKeyMap(const TmxStorage& store, const std::string& work_dir);

// The canvas size an earlier adaptation left, from the bytes of FullCn and FullGameCn (nothing
// for one that is not there): FullCn's, or FullGameCn's when only that one is there; nothing
// when neither tells a size, or the two disagree, so that such a game is adapted again.
std::optional<CanvasSize> AgreedCanvasSize(const std::optional<std::string>& canvas,
                                           const std::optional<std::string>& game_canvas);

}  // namespace korvel

// Loading shared libraries at run time and looking up their entry points.
#pragma once

#include <memory>
#include <string>

namespace korvel::platform {

// One loaded library; unloaded when the object goes.
class DynamicLibrary {
 public:
  // Loads `name`. A bare name (no separator) is looked for in the executable's folder first, as
  // the Windows loader does, then in an installed copy's library folder (PREFIX/lib/korvel), then
  // by the system's search. Returns nothing on failure and, when
  // `error` is given, the system's reason there. The system's own error boxes never appear.
  static std::unique_ptr<DynamicLibrary> Load(const std::string& name,
                                              std::string* error = nullptr);

  ~DynamicLibrary();
  DynamicLibrary(const DynamicLibrary&) = delete;
  DynamicLibrary& operator=(const DynamicLibrary&) = delete;

  // The address of the exported symbol `name`, or nullptr.
  void* Symbol(const char* name) const;

  // The file the library was loaded from, as the loader names it; the name given to Load when
  // the loader cannot tell.
  std::string ModulePath() const;

 private:
  struct Key {};

 public:
  // For Load only; the key keeps other code from wrapping a foreign handle.
  DynamicLibrary(Key, void* handle, std::string name);

 private:
  void* handle_;
  std::string name_;
};

}  // namespace korvel::platform

// Shared libraries on POSIX: dlopen, dlsym, dladdr.
#include "platform/DynamicLibrary.h"

#include <dlfcn.h>
#include <link.h>

#include "platform/Files.h"
#include "platform/StandardFolders.h"

namespace korvel::platform {

std::unique_ptr<DynamicLibrary> DynamicLibrary::Load(const std::string& name, std::string* error) {
  std::string path = name;
  // dlopen would skip the program's own folders for a bare name; the engines live there.
  if (name.find(kPathSeparator) == std::string::npos) {
    for (const std::string& folder : {ExecutableDirectory(), InstalledLibraryDirectory()}) {
      std::string candidate = JoinPath(folder, name);
      if (FileExists(candidate)) {
        path = std::move(candidate);
        break;
      }
    }
  }
  dlerror();
  void* handle = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (handle == nullptr) {
    if (error != nullptr) {
      const char* reason = dlerror();
      *error = reason != nullptr ? reason : "unknown error";
    }
    return nullptr;
  }
  return std::make_unique<DynamicLibrary>(Key{}, handle, path);
}

DynamicLibrary::DynamicLibrary(Key, void* handle, std::string name)
    : handle_(handle), name_(std::move(name)) {}

DynamicLibrary::~DynamicLibrary() {
  dlclose(handle_);
}

void* DynamicLibrary::Symbol(const char* name) const {
  return dlsym(handle_, name);
}

std::string DynamicLibrary::ModulePath() const {
  // dladdr needs an address inside the module; the link map gives its start.
  link_map* map = nullptr;
  if (dlinfo(handle_, RTLD_DI_LINKMAP, &map) == 0 && map != nullptr) {
    Dl_info info{};
    if (dladdr(reinterpret_cast<const void*>(map->l_ld), &info) != 0 && info.dli_fname != nullptr &&
        info.dli_fname[0] != '\0')
      return info.dli_fname;
    if (map->l_name != nullptr && map->l_name[0] != '\0') return map->l_name;
  }
  return name_;
}

}  // namespace korvel::platform

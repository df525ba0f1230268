#include "gui/WidgetToolkit.h"

#include "runtime/Exceptions.h"
#include "runtime/OsFacts.h"

#include <dlfcn.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifndef LUMO_GUI_MODULE_PATH
#define LUMO_GUI_MODULE_PATH "libguiqt.so"
#endif
#ifndef LUMO_GUI_MODULE_NAME
#define LUMO_GUI_MODULE_NAME "libguiqt.so"
#endif

namespace lumo {

namespace {

WidgetToolkit* loaded = nullptr;

// Where the module may be, in the order tried. A path set in the environment is the only one.
std::vector<std::string> Candidates() {
  const char* chosen = std::getenv("LUMO_GUI_MODULE");
  if (chosen != nullptr && *chosen != '\0') return {chosen};
  std::vector<std::string> paths;
  std::string executable = ExecutablePath();
  if (!executable.empty()) {
    std::filesystem::path beside = std::filesystem::path(executable).parent_path() / LUMO_GUI_MODULE_NAME;
    std::error_code error;
    // An installed or copied program brings its module along; a copy made only of the
    // executable still finds the one of the build it came from.
    if (std::filesystem::exists(beside, error)) paths.push_back(beside.string());
  }
  paths.emplace_back(LUMO_GUI_MODULE_PATH);
  return paths;
}

}  // namespace

bool ToolkitLoaded() noexcept { return loaded != nullptr; }

WidgetToolkit& Toolkit() {
  if (loaded != nullptr) return *loaded;
  std::string path;
  std::string reason;
  for (const std::string& candidate : Candidates()) {
    path = candidate;
    // Never closed: faces and the toolkit's application object live until the process ends.
    void* module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      const char* error = dlerror();
      reason = error != nullptr ? error : "unknown error";
      continue;
    }
    auto entry = reinterpret_cast<WidgetToolkitEntry>(dlsym(module, kWidgetToolkitEntry));
    if (entry == nullptr) {
      reason = std::string("no ") + kWidgetToolkitEntry + " in it";
      continue;
    }
    loaded = entry();
    if (loaded != nullptr) return *loaded;
    reason = "it made no toolkit";
  }
  throw Exception("Cannot load the widget toolkit " + path + ": " + reason);
}

}  // namespace lumo

#include "gui/WidgetToolkit.h"

#include "runtime/Exceptions.h"
#include "runtime/OsFacts.h"

#include <dlfcn.h>
#include <link.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#ifndef LUMO_GUI_MODULE_NAME
#define LUMO_GUI_MODULE_NAME "libguiqt.so"
#endif

namespace lumo {

namespace {

WidgetToolkit* loaded = nullptr;

// The file this code was loaded from: the program itself when the GUI runtime is linked into
// it, or the shared library liblumo when a program uses that.
std::filesystem::path ObjectHoldingThisCode() {
  Dl_info info{};
  link_map* map = nullptr;
  if (dladdr1(reinterpret_cast<void*>(&ToolkitLoaded), &info, reinterpret_cast<void**>(&map), RTLD_DL_LINKMAP) != 0 &&
      map != nullptr && map->l_name != nullptr && map->l_name[0] != '\0') {
    std::error_code error;
    std::filesystem::path path = std::filesystem::canonical(map->l_name, error);
    if (!error) return path;
  }
  // The main program has no name in the loader's list.
  return ExecutablePath();
}

// Where the module may be, in the order tried. A path set in the environment is the only one.
// Otherwise the module travels with the code that loads it: directly beside it (the journal's
// folder, where the module is installed next to the program) or in the folder lumo/ beside
// it (the library folder, where liblumo is installed). No build folder is ever compiled in, so
// an installed program cannot pick up a module from the tree it was built in.
std::vector<std::string> Candidates() {
  const char* chosen = std::getenv("LUMO_GUI_MODULE");
  if (chosen != nullptr && *chosen != '\0') return {chosen};
  const std::filesystem::path folder = ObjectHoldingThisCode().parent_path();
  const std::vector<std::filesystem::path> places = {folder / LUMO_GUI_MODULE_NAME,
                                                     folder / "lumo" / LUMO_GUI_MODULE_NAME};
  std::vector<std::string> paths;
  for (const std::filesystem::path& place : places) {
    std::error_code error;
    if (std::filesystem::exists(place, error)) paths.push_back(place.string());
  }
  // Neither is there: the loader's own message about the first place says so.
  if (paths.empty()) paths.push_back(places.front().string());
  return paths;
}

}  // namespace

bool ToolkitLoaded() noexcept { return loaded != nullptr; }

WidgetToolkit& Toolkit() {
  if (loaded != nullptr) return *loaded;
  std::string failures;
  for (const std::string& candidate : Candidates()) {
    std::string reason;
    // Never closed: faces and the toolkit's application object live until the process ends.
    void* module = dlopen(candidate.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (module == nullptr) {
      const char* error = dlerror();
      reason = error != nullptr ? error : "unknown error";
    } else if (auto entry = reinterpret_cast<WidgetToolkitEntry>(dlsym(module, kWidgetToolkitEntry));
               entry == nullptr) {
      reason = std::string("no ") + kWidgetToolkitEntry + " in it";
    } else if ((loaded = entry()) != nullptr) {
      return *loaded;
    } else {
      reason = "it made no toolkit";
    }
    // Each place tried and why it failed, so that a broken installed module is not hidden
    // behind a second place that is merely missing.
    failures += (failures.empty() ? "" : "; ") + candidate + ": " + reason;
  }
  throw Exception("Cannot load the widget toolkit " + failures);
}

}  // namespace lumo

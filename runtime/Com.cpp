#include "runtime/Com.h"

#include <strings.h>
#include <algorithm>
#include <mutex>

#include "runtime/Exceptions.h"

namespace lumo {
namespace {

thread_local int comInitCount = 0;

struct ClassEntry {
  std::string progId;
  ComFactory factory;
};

// Process-wide, created on first use so that registrations from static initialisers work.
struct ClassRegistry {
  std::mutex mutex;
  std::vector<ClassEntry> entries;

  std::vector<ClassEntry>::iterator Find(const std::string& progId) {
    return std::find_if(entries.begin(), entries.end(), [&](const ClassEntry& entry) {
      return strcasecmp(entry.progId.c_str(), progId.c_str()) == 0;
    });
  }
};

ClassRegistry& Classes() {
  static ClassRegistry registry;
  return registry;
}

}  // namespace

int32_t CoInitialize(void* /*reserved*/) { return comInitCount++ == 0 ? kS_OK : kS_FALSE; }

void CoUninitialize() {
  if (comInitCount > 0) --comInitCount;
}

int ComInitCount() { return comInitCount; }

void RegisterProgId(const std::string& progId, ComFactory factory) {
  ClassRegistry& registry = Classes();
  std::lock_guard lock(registry.mutex);
  auto found = registry.Find(progId);
  if (found != registry.entries.end()) {
    found->factory = std::move(factory);
  } else {
    registry.entries.push_back(ClassEntry{progId, std::move(factory)});
  }
}

bool UnregisterProgId(const std::string& progId) {
  ClassRegistry& registry = Classes();
  std::lock_guard lock(registry.mutex);
  auto found = registry.Find(progId);
  if (found == registry.entries.end()) return false;
  registry.entries.erase(found);
  return true;
}

bool IsProgIdRegistered(const std::string& progId) {
  ClassRegistry& registry = Classes();
  std::lock_guard lock(registry.mutex);
  return registry.Find(progId) != registry.entries.end();
}

std::vector<std::string> RegisteredProgIds() {
  ClassRegistry& registry = Classes();
  std::lock_guard lock(registry.mutex);
  std::vector<std::string> names;
  names.reserve(registry.entries.size());
  for (const ClassEntry& entry : registry.entries) names.push_back(entry.progId);
  return names;
}

std::shared_ptr<ComObject> CreateOleObject(const std::string& progId) {
  if (comInitCount == 0) {
    throw EOleSysError("CoInitialize has not been called", kCoENotInitialized);
  }
  ComFactory factory;
  {
    ClassRegistry& registry = Classes();
    std::lock_guard lock(registry.mutex);
    auto found = registry.Find(progId);
    if (found == registry.entries.end()) {
      throw EOleSysError("Invalid class string", kCoEClassString);
    }
    factory = found->factory;
  }
  return factory();
}

}  // namespace lumo

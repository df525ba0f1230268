#include "jet/storage/BackEnd.h"

#include <mutex>
#include <utility>
#include <vector>

#include "jet/DaoErrors.h"
#include "runtime/StrUtils.h"

namespace lumo::jet::storage {

namespace {

constexpr int kNoInstallableIsam = 3170;

struct Entry {
  std::string type;
  std::shared_ptr<BackEnd> backEnd;
};

// Few entries, looked up once per open: a list is all it takes. Process-wide, and component
// graphs run on threads of their own, hence the lock.
struct Registry {
  std::mutex lock;
  std::vector<Entry> entries;
  std::once_flag builtIns;

  Entry* Find(std::string_view type) {
    for (Entry& entry : entries) {
      if (SameText(entry.type, type)) return &entry;
    }
    return nullptr;
  }
  void Put(std::string_view type, std::shared_ptr<BackEnd> backEnd, bool replace) {
    std::lock_guard<std::mutex> guard(lock);
    if (Entry* entry = Find(type)) {
      if (replace) entry->backEnd = std::move(backEnd);
      return;
    }
    entries.push_back({std::string(type), std::move(backEnd)});
  }
};

Registry& TheRegistry() {
  static Registry registry;
  std::call_once(registry.builtIns, [] {
    std::shared_ptr<BackEnd> file = MakeFileBackEnd();
    registry.Put("", file, false);
    registry.Put("MS Access", file, false);
  });
  return registry;
}

}  // namespace

void RegisterBackEnd(std::string_view type, std::shared_ptr<BackEnd> backEnd) {
  TheRegistry().Put(type, std::move(backEnd), true);
}

std::shared_ptr<BackEnd> BackEndFor(std::string_view type) {
  Registry& registry = TheRegistry();
  {
    std::lock_guard<std::mutex> guard(registry.lock);
    Entry* entry = registry.Find(type);
    if (entry != nullptr && entry->backEnd) return entry->backEnd;
  }
  RaiseDaoError(kNoInstallableIsam, {}, "DAO.Workspace");
}

}  // namespace lumo::jet::storage

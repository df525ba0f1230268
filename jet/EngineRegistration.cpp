// The engine as the automation layer finds it: its classes under their ProgIDs, and the
// registry keys that tell a program which engine is installed and where its workgroup file is.

#include "jet/DBEngine.h"
#include "runtime/Com.h"
#include "runtime/Registry.h"

namespace lumo::jet {

namespace {

struct EngineClass {
  const char* progId;
  const char* version;
};

constexpr EngineClass kClasses[] = {
    {"DAO.DBEngine.36", "3.6"},
    {"DAO.PrivateDBEngine.36", "3.6"},
    {"DAO.DBEngine.35", "3.5"},
    {"DAO.PrivateDBEngine.35", "3.5"},
};

}  // namespace

void RegisterEngineClasses() {
  for (const EngineClass& engineClass : kClasses) {
    const std::string version = engineClass.version;
    RegisterProgId(engineClass.progId, [version] { return std::make_shared<DBEngine>(version); });
  }
  // Each engine version has its Jet key: the workgroup file it uses by default (none: the
  // built-in Admin account) and the installable formats it knows (none beyond its own files).
  RegistryTree& machine = RegistryTree::Machine();
  for (const char* jetVersion : {"4.0", "3.5"}) {
    const std::string jet = std::string("SOFTWARE\\Microsoft\\JET\\") + jetVersion;
    machine.SetValue(RegistryRoot::kLocalMachine, jet + "\\Engines", "SystemDB", "");
    machine.AddKey(RegistryRoot::kLocalMachine, jet + "\\ISAM Formats");
  }
}

}  // namespace lumo::jet

#pragma once
// The read-only registry substitute: a key/value tree answering the keys the database component
// reads, with the platform's registry class as its face (TRegistry).
//
// Where the answers come from (the "live" registry, the default):
//   - HKEY_CLASSES_ROOT\<ProgID> exists exactly when the ProgID registry (runtime/Com.h) has
//     that class; the root's key names are the registered class names.
//   - Keys that higher layers publish (the engine's SOFTWARE\Microsoft\JET\4.0\Engines value
//     SystemDB, the ISAM Formats subkeys, ...) live in an in-memory tree, RegistryTree::Machine().
//   - The ODBC keys are read live from unixODBC's configuration through its installer API
//     (libodbcinst), which honours ODBCSYSINI (folder of odbcinst.ini and the system odbc.ini)
//     and ODBCINI (the user's odbc.ini, ~/.odbc.ini by default):
//       HKLM SOFTWARE\ODBC\ODBCINST.INI\ODBC Drivers    value names = installed drivers
//       HKLM SOFTWARE\ODBC\ODBCINST.INI\<driver>        values = the driver's entries
//       HKLM SOFTWARE\ODBC\ODBC.INI\ODBC Data Sources   value names = system data sources,
//       HKCU (same path)                                 user data sources; value = the driver
//       HKLM/HKCU SOFTWARE\ODBC\ODBC.INI\<dsn>           values = the data source's entries (DBQ)
//     unixODBC reads ODBCSYSINI once per process; ODBCINI and the files' contents are read anew
//     on every key opened. A file that is not there answers as an empty key without the
//     installer being asked, since asking it would create the file.
// A registry description file (the export form: "[HKEY_LOCAL_MACHINE\SOFTWARE\...]" sections,
// "name"="value" and @="value" lines) replaces all of the above when given, either by
// Registry::UseDescriptionFile or, for the real executables, by the environment variable
// LUMO_REGISTRY naming such a file (read on the first use of the registry).
//
// Paths compare without regard to (ASCII) case; a leading "\" and empty components are ignored.
// Only string values exist. Nothing here changes the system's configuration.

#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace lumo {

enum class RegistryRoot { kClassesRoot, kCurrentUser, kLocalMachine };

// What an opened key shows: its subkey names and its (name, value) pairs, in the order the
// source delivers them. The default value has the empty name.
struct RegistryKeyData {
  std::vector<std::string> keyNames;
  std::vector<std::pair<std::string, std::string>> values;
};

// An in-memory key tree (all three roots). Keys and values keep the spelling they were first
// added with and compare without regard to case. Thread-safe.
class RegistryTree {
 public:
  // The process-wide tree that the live registry answers from besides COM and ODBC.
  static RegistryTree& Machine();

  // Adds the key and every missing key above it.
  void AddKey(RegistryRoot root, const std::string& path);
  // Adds the key if needed and sets (or replaces) the string value; name "" = default value.
  void SetValue(RegistryRoot root, const std::string& path, const std::string& name,
                const std::string& value);
  // Removes the key and everything below it; returns whether it existed.
  bool DeleteKey(RegistryRoot root, const std::string& path);
  void Clear();

  // The key's contents, or false when it does not exist (the root path "" always exists).
  bool ReadKey(RegistryRoot root, const std::string& path, RegistryKeyData& data) const;

  RegistryTree();
  ~RegistryTree();
  RegistryTree(const RegistryTree&) = delete;
  RegistryTree& operator=(const RegistryTree&) = delete;

 private:
  struct Node;
  Node* Walk(RegistryRoot root, const std::vector<std::string>& parts, bool create) const;

  mutable std::mutex mutex_;
  std::unique_ptr<Node> roots_[3];
};

// Chooses where the registry answers from, process-wide.
class Registry {
 public:
  // Reads the description file now and answers from it from then on. Raises Exception naming
  // the file when it cannot be read.
  static void UseDescriptionFile(const std::string& path);
  // Answers from COM, RegistryTree::Machine() and unixODBC again (LUMO_REGISTRY is not
  // consulted after this call).
  static void UseLiveRegistry();
  // Decides again as on first use: the file LUMO_REGISTRY names (raising like
  // UseDescriptionFile when it cannot be read), or the live registry when it is unset or empty.
  static void UseEnvironment();
  static bool UsesDescriptionFile();

  // The key's contents from the chosen source, or false when the key does not exist.
  static bool ReadKey(RegistryRoot root, const std::string& path, RegistryKeyData& data);
};

// The read-only registry object of the platform's runtime. One key is open at a time; what was
// read when the key opened is what the object shows until the key is closed or another opened.
class TRegistry {
 public:
  // Opens the key for reading; false (and no key open) when it does not exist.
  bool OpenKeyReadOnly(RegistryRoot root, const std::string& path);
  bool KeyExists(RegistryRoot root, const std::string& path) const;
  void CloseKey();
  bool HasCurrentKey() const noexcept { return open_; }
  const std::string& CurrentPath() const noexcept { return currentPath_; }

  // Of the open key; empty when no key is open.
  std::vector<std::string> GetKeyNames() const;
  std::vector<std::string> GetValueNames() const;
  bool ValueExists(const std::string& name) const;
  // The value's text; empty when the value (or the open key) is missing.
  std::string ReadString(const std::string& name) const;

 private:
  bool open_ = false;
  std::string currentPath_;
  RegistryKeyData current_;
};

}  // namespace lumo

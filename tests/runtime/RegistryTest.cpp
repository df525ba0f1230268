#include "runtime/Registry.h"

#include <gtest/gtest.h>
#include <link.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>

#include "runtime/Com.h"
#include "runtime/Exceptions.h"

namespace lumo {
namespace {

using Names = std::vector<std::string>;

constexpr RegistryRoot kMachine = RegistryRoot::kLocalMachine;
constexpr RegistryRoot kUser = RegistryRoot::kCurrentUser;
constexpr RegistryRoot kClasses = RegistryRoot::kClassesRoot;

// unixODBC reads ODBCSYSINI once per process, so every case shares one configuration folder,
// set up before the first case runs; the cases rewrite the files in it.
class OdbcFolder : public ::testing::Environment {
 public:
  static std::string path;
  void SetUp() override {
    char pattern[] = "/tmp/lumo-registry-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    path = pattern;
    setenv("ODBCSYSINI", path.c_str(), 1);
    setenv("ODBCINI", (path + "/user-odbc.ini").c_str(), 1);
    unsetenv("LUMO_REGISTRY");
  }
  void TearDown() override { std::filesystem::remove_all(path); }
};
std::string OdbcFolder::path;
[[maybe_unused]] const auto* const kOdbcFolder = ::testing::AddGlobalTestEnvironment(new OdbcFolder);

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

void WriteOdbcConfig(const std::string& drivers, const std::string& system, const std::string& user) {
  WriteFile(OdbcFolder::path + "/odbcinst.ini", drivers);
  WriteFile(OdbcFolder::path + "/odbc.ini", system);
  WriteFile(OdbcFolder::path + "/user-odbc.ini", user);
}

const char* const kDrivers =
    "[ODBC]\nTrace=No\n\n"
    "[SQLite3]\nDescription=SQLite3 ODBC Driver\nDriver=/usr/lib/libsqlite3odbc.so\n\n"
    "[Journal Files]\nDriver=/usr/lib/libjournal.so\n";
const char* const kSystemSources =
    "[Journal]\nDriver=SQLite3\nDBQ=/srv/journal/logon.db\n\n"
    "[Reports]\nDriver=Journal Files\nDescription=no database file\n";
const char* const kUserSources = "[Mine]\nDriver = SQLite3\nDBQ = /home/me/mine.db\n";

Names ValueNames(RegistryRoot root, const std::string& path) {
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(root, path)) return {"<no key>"};
  return registry.GetValueNames();
}

Names KeyNames(RegistryRoot root, const std::string& path) {
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(root, path)) return {"<no key>"};
  return registry.GetKeyNames();
}

std::string Value(RegistryRoot root, const std::string& path, const std::string& name) {
  TRegistry registry;
  if (!registry.OpenKeyReadOnly(root, path)) return "<no key>";
  if (!registry.ValueExists(name)) return "<no value>";
  return registry.ReadString(name);
}

// Whether a library whose file name contains `name` is mapped into this process.
bool Mapped(const char* name) {
  auto visit = [](dl_phdr_info* info, size_t, void* data) {
    if (info->dlpi_name != nullptr && std::strstr(info->dlpi_name, static_cast<const char*>(data)) != nullptr) return 1;
    return 0;
  };
  return dl_iterate_phdr(visit, const_cast<char*>(name)) != 0;
}

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override {
    Registry::UseLiveRegistry();
    WriteOdbcConfig(kDrivers, kSystemSources, kUserSources);
  }
  void TearDown() override {
    Registry::UseLiveRegistry();
    RegistryTree::Machine().Clear();
    UnregisterProgId("Test.DBEngine.36");
  }

  std::string WriteDescription(const std::string& content) {
    std::string path = OdbcFolder::path + "/registry.reg";
    WriteFile(path, content);
    return path;
  }
};

TEST_F(RegistryTest, ClassesRootHasExactlyTheRegisteredProgIds) {
  TRegistry registry;
  EXPECT_FALSE(registry.KeyExists(kClasses, "Test.DBEngine.36"));
  RegisterProgId("Test.DBEngine.36", [] { return std::make_shared<ComObject>(); });
  EXPECT_TRUE(registry.KeyExists(kClasses, "test.dbengine.36"));
  EXPECT_TRUE(registry.OpenKeyReadOnly(kClasses, "\\Test.DBEngine.36"));
  EXPECT_FALSE(registry.KeyExists(kClasses, "Test.DBEngine.36\\CLSID\\Nothing"));
  Names roots = KeyNames(kClasses, "");
  EXPECT_NE(std::find(roots.begin(), roots.end(), "Test.DBEngine.36"), roots.end());
  UnregisterProgId("Test.DBEngine.36");
  EXPECT_FALSE(registry.KeyExists(kClasses, "Test.DBEngine.36"));
  // An open key keeps what it showed when it was opened.
  EXPECT_TRUE(registry.HasCurrentKey());
}

TEST_F(RegistryTest, PublishedKeysAnswerWithoutRegardToCase) {
  RegistryTree& tree = RegistryTree::Machine();
  tree.SetValue(kMachine, "SOFTWARE\\Microsoft\\Jet\\4.0\\Engines", "SystemDB", "/usr/share/lumo/system.mdw");
  tree.AddKey(kMachine, "SOFTWARE\\Microsoft\\Jet\\4.0\\ISAM Formats\\Text");
  tree.AddKey(kMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats\\dBase III");
  tree.SetValue(kMachine, "SOFTWARE\\Microsoft\\Jet\\4.0\\Engines", "SYSTEMDB", "/other.mdw");

  EXPECT_EQ(Value(kMachine, "\\software\\microsoft\\JET\\4.0\\engines", "systemdb"), "/other.mdw");
  EXPECT_EQ(ValueNames(kMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines"), Names{"SystemDB"});
  EXPECT_EQ(KeyNames(kMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\ISAM Formats"), (Names{"Text", "dBase III"}));
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines", "Missing"), "<no value>");
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\Microsoft\\JET\\3.5\\Engines", "SystemDB"), "<no key>");
  EXPECT_EQ(Value(kUser, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines", "SystemDB"), "<no key>");
  // The published tree and the ODBC keys meet under SOFTWARE.
  EXPECT_EQ(KeyNames(kMachine, "SOFTWARE"), (Names{"Microsoft", "ODBC"}));

  EXPECT_TRUE(tree.DeleteKey(kMachine, "software\\microsoft\\jet\\4.0\\isam formats"));
  EXPECT_EQ(KeyNames(kMachine, "SOFTWARE\\Microsoft\\JET\\4.0"), Names{"Engines"});
}

TEST_F(RegistryTest, FailedOpenLeavesNoKeyOpen) {
  RegistryTree::Machine().SetValue(kMachine, "SOFTWARE\\A", "Name", "value");
  TRegistry registry;
  ASSERT_TRUE(registry.OpenKeyReadOnly(kMachine, "SOFTWARE\\A"));
  EXPECT_EQ(registry.ReadString("name"), "value");
  EXPECT_FALSE(registry.OpenKeyReadOnly(kMachine, "SOFTWARE\\B"));
  EXPECT_FALSE(registry.HasCurrentKey());
  EXPECT_EQ(registry.ReadString("Name"), "");
  EXPECT_TRUE(registry.GetValueNames().empty());
  ASSERT_TRUE(registry.OpenKeyReadOnly(kMachine, "SOFTWARE\\A"));
  registry.CloseKey();
  EXPECT_FALSE(registry.ValueExists("Name"));
}

// The first case to ask about ODBC keys (ctest also runs every case in a process of its own).
TEST_F(RegistryTest, OdbcInstallerIsLoadedOnlyWhenAnOdbcKeyIsFirstOpened) {
  EXPECT_FALSE(Mapped("libodbcinst")) << "loaded at start-up";
  RegistryTree::Machine().SetValue(kMachine, "SOFTWARE\\Journal", "Database", "/srv/journal/logon.db");
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\Journal", "Database"), "/srv/journal/logon.db");
  EXPECT_EQ(KeyNames(kMachine, "SOFTWARE\\ODBC"), (Names{"ODBC.INI", "ODBCINST.INI"}));
  EXPECT_FALSE(Mapped("libodbcinst")) << "loaded for a key that is not the installer's";
  EXPECT_EQ(ValueNames(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources"), (Names{"Journal", "Reports"}));
  EXPECT_TRUE(Mapped("libodbcinst"));
}

TEST_F(RegistryTest, OdbcDriversComeFromOdbcinstIni) {
  EXPECT_EQ(ValueNames(kMachine, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"), (Names{"SQLite3", "Journal Files"}));
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers", "sqlite3"), "Installed");
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\ODBC\\ODBCINST.INI\\sqlite3", "Driver"), "/usr/lib/libsqlite3odbc.so");
  EXPECT_EQ(KeyNames(kMachine, "SOFTWARE\\ODBC\\ODBCINST.INI"), (Names{"ODBC Drivers", "SQLite3", "Journal Files"}));
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC", "Trace"), "<no key>");
  EXPECT_EQ(ValueNames(kUser, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"), Names{"<no key>"});
}

TEST_F(RegistryTest, SystemAndUserDataSourcesAreKeptApart) {
  // The path as the database component spells it for the system list.
  EXPECT_EQ(ValueNames(kMachine, "\\SOFTWARE\\ODBC\\odbc.ini\\ODBC Data Sources"), (Names{"Journal", "Reports"}));
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources", "Reports"), "Journal Files");
  EXPECT_EQ(ValueNames(kUser, "\\SOFTWARE\\ODBC\\odbc.ini\\ODBC Data Sources"), Names{"Mine"});
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\journal", "DBQ"), "/srv/journal/logon.db");
  EXPECT_EQ(Value(kUser, "SOFTWARE\\ODBC\\ODBC.INI\\Mine", "dbq"), "/home/me/mine.db");
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\Reports", "DBQ"), "<no value>");
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\Mine", "DBQ"), "<no key>");
  EXPECT_EQ(Value(kUser, "SOFTWARE\\ODBC\\ODBC.INI\\Journal", "DBQ"), "<no key>");
  EXPECT_EQ(ValueNames(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\Journal"), (Names{"Driver", "DBQ"}));
}

TEST_F(RegistryTest, OdbcConfigurationIsReadLiveAndMayBeMissing) {
  WriteOdbcConfig(kDrivers, std::string(kSystemSources) + "[Added]\nDriver=SQLite3\n", "");
  EXPECT_EQ(ValueNames(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources"),
            (Names{"Journal", "Reports", "Added"}));
  EXPECT_TRUE(ValueNames(kUser, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources").empty());

  std::filesystem::remove(OdbcFolder::path + "/odbcinst.ini");
  std::filesystem::remove(OdbcFolder::path + "/odbc.ini");
  EXPECT_TRUE(ValueNames(kMachine, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers").empty());
  EXPECT_TRUE(ValueNames(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources").empty());
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\Journal", "DBQ"), "<no key>");
}

TEST_F(RegistryTest, ReadingMissingOdbcFilesCreatesNone) {
  const std::string folder = OdbcFolder::path;
  for (const char* name : {"/odbcinst.ini", "/odbc.ini", "/user-odbc.ini"}) {
    std::filesystem::remove(folder + name);
  }
  for (RegistryRoot root : {kMachine, kUser}) {
    EXPECT_TRUE(ValueNames(root, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources").empty());
    EXPECT_EQ(KeyNames(root, "SOFTWARE\\ODBC\\ODBC.INI"), Names{"ODBC Data Sources"});
    EXPECT_EQ(Value(root, "SOFTWARE\\ODBC\\ODBC.INI\\Mine", "DBQ"), "<no key>");
  }
  EXPECT_TRUE(ValueNames(kMachine, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers").empty());
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\ODBC\\ODBCINST.INI\\SQLite3", "Driver"), "<no key>");
  EXPECT_TRUE(std::filesystem::is_empty(folder)) << "a read-only open wrote into " << folder;

  // Once the user's file is there again it is read at the next open.
  WriteFile(folder + "/user-odbc.ini", kUserSources);
  EXPECT_EQ(ValueNames(kUser, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources"), Names{"Mine"});
}

TEST_F(RegistryTest, LongDataSourceListsAreReadWhole) {
  // Well past the first buffer the installer is asked with, which it would silently cut.
  std::string sources;
  for (int i = 0; i < 250; ++i) {
    sources += "[A data source with a long name, number " + std::to_string(i) + "]\nDriver=X\n";
  }
  WriteOdbcConfig(kDrivers, sources, kUserSources);
  Names names = ValueNames(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources");
  ASSERT_EQ(names.size(), 250u);
  EXPECT_EQ(names.front(), "A data source with a long name, number 0");
  EXPECT_EQ(names.back(), "A data source with a long name, number 249");
}

TEST_F(RegistryTest, DescriptionFileReplacesEveryLiveAnswer) {
  RegisterProgId("Test.DBEngine.36", [] { return std::make_shared<ComObject>(); });
  RegistryTree::Machine().SetValue(kMachine, "SOFTWARE\\Published", "x", "y");
  Registry::UseDescriptionFile(
      WriteDescription("\xEF\xBB\xBFWindows Registry Editor Version 5.00\r\n"
                       "\r\n"
                       "; the engine is here, the data source has no file\r\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Jet\\4.0\\Engines]\r\n"
                       "\"SystemDB\"=\"C:\\\\Program Files\\\\system.mdw\"\r\n"
                       "@=\"default text\"\r\n"
                       "\"Quoted\" = \"say \\\"hi\\\"\"\r\n"
                       "\"Count\"=dword:00000019\r\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources]\r\n"
                       "\"NoFile\"=\"SQLite3\"\r\n"
                       "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\NoFile]\r\n"
                       "\"Driver\"=\"SQLite3\"\r\n"
                       "[HKCU\\Software\\Deep\\Below\\Here]\r\n"
                       "[-HKEY_LOCAL_MACHINE\\SOFTWARE\\Removed]\r\n"
                       "\"Ignored\"=\"value\"\r\n"
                       "[HKEY_NOWHERE\\SOFTWARE\\X]\r\n"
                       "\"Ignored\"=\"value\"\r\n"));
  EXPECT_TRUE(Registry::UsesDescriptionFile());

  TRegistry registry;
  EXPECT_FALSE(registry.KeyExists(kClasses, "Test.DBEngine.36"));
  EXPECT_FALSE(registry.KeyExists(kMachine, "SOFTWARE\\Published"));
  EXPECT_FALSE(registry.KeyExists(kMachine, "SOFTWARE\\Removed"));
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines", "SystemDB"), "C:\\Program Files\\system.mdw");
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines", ""), "default text");
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines", "quoted"), "say \"hi\"");
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines", "Count"), "<no value>");
  EXPECT_EQ(ValueNames(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources"), Names{"NoFile"});
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\NoFile", "DBQ"), "<no value>");
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\Journal", "DBQ"), "<no key>");
  EXPECT_EQ(ValueNames(kMachine, "SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers"), Names{"<no key>"});
  // A key exists when a section below it does.
  EXPECT_TRUE(registry.KeyExists(kUser, "SOFTWARE\\Deep"));
  EXPECT_EQ(KeyNames(kUser, "software\\deep"), Names{"Below"});
  EXPECT_EQ(KeyNames(kMachine, "SOFTWARE"), (Names{"Microsoft", "ODBC"}));

  Registry::UseLiveRegistry();
  EXPECT_FALSE(Registry::UsesDescriptionFile());
  EXPECT_TRUE(registry.KeyExists(kClasses, "Test.DBEngine.36"));
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\Journal", "DBQ"), "/srv/journal/logon.db");
}

TEST_F(RegistryTest, UnreadableDescriptionFileRaisesAndKeepsTheSource) {
  try {
    Registry::UseDescriptionFile(OdbcFolder::path + "/absent.reg");
    FAIL() << "an absent description file was accepted";
  } catch (const Exception& error) {
    EXPECT_NE(std::string(error.what()).find("absent.reg"), std::string::npos);
  }
  EXPECT_FALSE(Registry::UsesDescriptionFile());
  EXPECT_EQ(Value(kMachine, "SOFTWARE\\ODBC\\ODBC.INI\\Journal", "DBQ"), "/srv/journal/logon.db");
}

TEST_F(RegistryTest, EnvironmentVariableNamesTheDescriptionFile) {
  std::string path = WriteDescription("[HKEY_CLASSES_ROOT\\DAO.DBEngine.36]\n");
  setenv("LUMO_REGISTRY", path.c_str(), 1);
  Registry::UseEnvironment();
  EXPECT_TRUE(Registry::UsesDescriptionFile());
  EXPECT_EQ(KeyNames(kClasses, ""), Names{"DAO.DBEngine.36"});
  setenv("LUMO_REGISTRY", "", 1);
  Registry::UseEnvironment();
  EXPECT_FALSE(Registry::UsesDescriptionFile());
  unsetenv("LUMO_REGISTRY");
}

}  // namespace
}  // namespace lumo

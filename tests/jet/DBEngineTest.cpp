#include "jet/DBEngine.h"

#include <gtest/gtest.h>

#include <fstream>

#include "jet/DaoConstants.h"
#include "jet/Security.h"
#include "runtime/Com.h"
#include "runtime/Registry.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoNumberOf;

class DBEngineTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    CoInitialize();
  }
  void TearDown() override {
    CoUninitialize();
    TempFolderTest::TearDown();
  }
};

TEST_F(DBEngineTest, ProgIdsMakeEnginesOfTheirVersion) {
  RegisterEngineClasses();
  RegisterEngineClasses();  // a second registration changes nothing
  struct Case {
    const char* progId;
    const char* version;
  } cases[] = {{"DAO.DBEngine.36", "3.6"},
               {"DAO.PrivateDBEngine.36", "3.6"},
               {"DAO.DBEngine.35", "3.5"},
               {"DAO.PrivateDBEngine.35", "3.5"}};
  for (const Case& c : cases) {
    auto engine = std::dynamic_pointer_cast<DBEngine>(CreateOleObject(c.progId));
    ASSERT_NE(engine, nullptr) << c.progId;
    EXPECT_EQ(engine->Version(), c.version);
    // The component tests the third character of the version text.
    EXPECT_EQ(engine->Version()[2], c.version[2]);
  }
  // What a program looks up before it creates the engine.
  TRegistry registry;
  EXPECT_TRUE(registry.KeyExists(RegistryRoot::kClassesRoot, "DAO.DBEngine.36"));
  ASSERT_TRUE(registry.OpenKeyReadOnly(RegistryRoot::kLocalMachine, "SOFTWARE\\Microsoft\\JET\\4.0\\Engines"));
  EXPECT_TRUE(registry.ValueExists("SystemDB"));
  EXPECT_TRUE(registry.KeyExists(RegistryRoot::kLocalMachine, "SOFTWARE\\Microsoft\\JET\\3.5\\ISAM Formats"));
}

TEST_F(DBEngineTest, ErrorsHoldTheErrorOfTheLastFailingCall) {
  DBEngine engine("3.6");
  EXPECT_EQ(engine.Errors().Count(), 0);
  const std::string missing = PathOf("missing.mdb");
  EXPECT_EQ(DaoNumberOf([&] { engine.OpenDatabase(missing); }), 3024);
  ASSERT_EQ(engine.Errors().Count(), 1);
  std::shared_ptr<Error> error = engine.Errors().Item(0);
  EXPECT_EQ(error->Number(), 3024);
  EXPECT_EQ(error->Description(), "Could not find file '" + missing + "'.");
  EXPECT_EQ(error->Source(), "DAO.Workspace");
  EXPECT_EQ(error->HelpFile(), "jeterr40.chm");
  EXPECT_EQ(error->HelpContext(), 5003024);

  // A successful call leaves the collection alone; the next failure replaces it.
  auto database = engine.CreateDatabase(PathOf("a.mdb"), dbLangGeneral);
  EXPECT_EQ(engine.Errors().Item(0)->Number(), 3024);
  EXPECT_EQ(DaoNumberOf([&] { database->Execute("SELECT * FROM MSysObjects"); }), 3065);
  ASSERT_EQ(engine.Errors().Count(), 1);
  EXPECT_EQ(engine.Errors().Item(0)->Number(), 3065);
  EXPECT_EQ(engine.Errors().Item(0)->Source(), "DAO.Database");
  EXPECT_EQ(DaoNumberOf([&] { engine.Errors().Item(1); }), 3265);
}

TEST_F(DBEngineTest, ErrorsOfAnEngineEndWithIt) {
  {
    DBEngine first("3.6");
    DBEngine second("3.5");
    DaoNumberOf([&] { first.OpenDatabase(PathOf("none.mdb")); });
    // Both engines of the thread see the error.
    EXPECT_EQ(second.Errors().Count(), 1);
  }
  // No engine left: raising an error must not reach a destroyed one.
  EXPECT_EQ(DaoNumberOf([] { RaiseDaoError(3021); }), 3021);
  DBEngine later("3.6");
  EXPECT_EQ(later.Errors().Count(), 0);
}

TEST_F(DBEngineTest, WorkspacesStartEmptyAndTakeAppendedOnes) {
  DBEngine engine("3.6");
  EXPECT_EQ(engine.DefaultUser(), "admin");
  EXPECT_EQ(engine.Workspaces().Count(), 0);
  auto workspace = engine.CreateWorkspace("DaoWorkspace", "Admin", "", dbUseJet);
  EXPECT_EQ(engine.Workspaces().Count(), 0);  // not appended by itself
  engine.Workspaces().Append(workspace);
  EXPECT_EQ(engine.Workspaces().Count(), 1);
  EXPECT_EQ(engine.Workspaces().Item("daoworkspace"), workspace);
  EXPECT_EQ(DaoNumberOf([&] { engine.Workspaces().Append(engine.CreateWorkspace("DaoWorkspace", "Admin", "")); }),
            3367);
  EXPECT_EQ(DaoNumberOf([&] { workspace->SetName("Other"); }), 3219);
  EXPECT_EQ(DaoNumberOf([&] { engine.CreateWorkspace("x", "Admin", "", 3); }), 3001);
  // The default workspace is the first one there is.
  EXPECT_EQ(engine.DefaultWorkspace(), workspace);
  workspace->Close();
  EXPECT_EQ(engine.Workspaces().Count(), 0);
  EXPECT_EQ(engine.DefaultWorkspace()->Name(), "#Default Workspace#");
  EXPECT_EQ(engine.DefaultWorkspace()->UserName(), "admin");
}

TEST_F(DBEngineTest, WithoutWorkgroupFileOnlyAdminWithoutPasswordLogsOn) {
  DBEngine engine("3.6");
  engine.SetSystemDB(PathOf("no-such-system.mdw"));
  auto workspace = engine.CreateWorkspace("w", "admin", "");
  EXPECT_EQ(workspace->Users().Count(), 1);
  EXPECT_EQ(workspace->Users().Item(0)->Name(), "Admin");
  EXPECT_EQ(workspace->Groups().Count(), 2);
  EXPECT_EQ(DaoNumberOf([&] { engine.CreateWorkspace("w", "Admin", "secret"); }), 3029);
  EXPECT_EQ(DaoNumberOf([&] { engine.CreateWorkspace("w", "Anna", ""); }), 3029);
  // An ODBC direct workspace does not log on to the workgroup.
  EXPECT_EQ(engine.CreateWorkspace("o", "Anna", "x", dbUseODBC)->Type(), dbUseODBC);
}

TEST_F(DBEngineTest, WorkgroupFileChecksAccounts) {
  const std::string system = PathOf("system.mdw");
  Workgroup::CreateFile(system, {{"Admin", "", false}, {"Anna", "Geheim", false}, {"Admins", "", true}},
                        {{"Admins", "Anna"}});
  DBEngine engine("3.6");
  engine.SetSystemDB(system);
  auto workspace = engine.CreateWorkspace("w", "anna", "Geheim");
  EXPECT_EQ(workspace->UserName(), "anna");
  ASSERT_EQ(workspace->Users().Count(), 2);
  EXPECT_EQ(workspace->Users().Item("ANNA")->GroupNames(), std::vector<std::string>{"Admins"});
  EXPECT_EQ(workspace->Groups().Count(), 1);
  // Passwords compare with case, names without.
  EXPECT_EQ(DaoNumberOf([&] { engine.CreateWorkspace("w", "Anna", "geheim"); }), 3029);
  EXPECT_EQ(DaoNumberOf([&] { engine.CreateWorkspace("w", "Admins", ""); }), 3029);
  EXPECT_EQ(DaoNumberOf([&] { engine.CreateWorkspace("w", "Bert", ""); }), 3029);

  std::ofstream(PathOf("broken.mdw")) << std::string(300, 'x');
  engine.SetSystemDB(PathOf("broken.mdw"));
  EXPECT_EQ(DaoNumberOf([&] { engine.CreateWorkspace("w", "Admin", ""); }), 3028);
}

TEST_F(DBEngineTest, EngineOpensAndCreatesInTheDefaultWorkspace) {
  DBEngine engine("3.6");
  auto created = engine.CreateDatabase(PathOf("a.mdb"), dbLangGeneral, dbVersion40);
  EXPECT_EQ(engine.Workspaces().Count(), 1);
  EXPECT_EQ(engine.Workspaces().Item(0)->Databases().Count(), 1);
  EXPECT_EQ(DaoNumberOf([&] { engine.CreateDatabase(PathOf("a.mdb"), dbLangGeneral); }), 3204);
  created->Close();
  EXPECT_EQ(engine.Workspaces().Item(0)->Databases().Count(), 0);
  auto opened = engine.OpenDatabase(PathOf("a.mdb"));
  EXPECT_EQ(opened->Version(), "4.0");
  engine.Idle(dbFreeLocks);
  engine.Idle(dbRefreshCache);
  EXPECT_EQ(opened->TableDefs().Count(), 4);
}

TEST_F(DBEngineTest, PropertiesShowTheEngineSettings) {
  DBEngine engine("3.5");
  EXPECT_EQ(engine.Properties().Item("version")->Value(), Variant("3.5"));
  engine.Properties().Item("DefaultType")->SetValue(Variant(dbUseODBC));
  EXPECT_EQ(engine.DefaultType(), dbUseODBC);
  EXPECT_EQ(DaoNumberOf([&] { engine.SetDefaultType(7); }), 3001);
  EXPECT_EQ(DaoNumberOf([&] { engine.Properties().Item("Version")->SetValue(Variant("3.6")); }), 3219);
  EXPECT_EQ(DaoNumberOf([&] { engine.Properties().Item("Nothing"); }), 3270);
}

}  // namespace
}  // namespace lumo::jet

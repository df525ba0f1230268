// The database component's catalogue lists, query definitions, collating order and registry
// look-ups.

#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "DaoDatabaseTestSupport.h"
#include "dao/database/LumoDaoDataBase.h"
#include "runtime/Registry.h"

namespace lumo {
namespace {

using testing::MessageOf;
using testing::SortedText;

// unixODBC reads ODBCSYSINI once per process: the live ODBC configuration of this program is
// one folder of its own, set up before the first case runs.
class OdbcConfiguration : public ::testing::Environment {
 public:
  static std::string folder;
  void SetUp() override {
    char pattern[] = "/tmp/lumo-daodb-odbc-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    folder = pattern;
    std::ofstream(folder + "/odbcinst.ini") << "[SQLite3]\nDriver=/usr/lib/libsqlite3odbc.so\n";
    std::ofstream(folder + "/odbc.ini") << "[Journal]\nDriver=SQLite3\nDBQ=/srv/journal/logon.db\n\n"
                                           "[Server]\nDriver=SQLite3\nServername=db.example.org\n";
    std::ofstream(folder + "/user-odbc.ini") << "[Mine]\nDriver=SQLite3\nDBQ=/home/me/mine.db\n";
    setenv("ODBCSYSINI", folder.c_str(), 1);
    setenv("ODBCINI", (folder + "/user-odbc.ini").c_str(), 1);
    unsetenv("LUMO_REGISTRY");
  }
  void TearDown() override { std::filesystem::remove_all(folder); }
};
std::string OdbcConfiguration::folder;
[[maybe_unused]] const auto* const kOdbcConfiguration = ::testing::AddGlobalTestEnvironment(new OdbcConfiguration);

class LumoDaoDataBaseCatalogueTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    path_ = MakeDatabase("catalogue.mdb",
                         {"CREATE TABLE Logon (ID COUNTER PRIMARY KEY, Username TEXT(50))",
                          "CREATE TABLE Computers (Name TEXT(15))", "CREATE INDEX ByUser ON Logon (Username)"});
    db_ = std::make_unique<TLumoDaoDatabase>(nullptr);
    db_->F_Set_Database(path_);
  }
  void TearDown() override {
    db_.reset();
    Registry::UseLiveRegistry();
    TempFolderTest::TearDown();
  }

  // Points the registry at a description of its own.
  void UseRegistry(const std::string& content) {
    const std::string file = PathOf("registry.reg");
    std::ofstream(file, std::ios::binary) << content;
    Registry::UseDescriptionFile(file);
  }

  std::string path_;
  std::unique_ptr<TLumoDaoDatabase> db_;
};

TEST_F(LumoDaoDataBaseCatalogueTest, SystemTablesAppearAtOnceWhenShownWhileConnected) {
  db_->Open();
  EXPECT_EQ(SortedText(db_->TableNames()), "Computers,Logon");
  db_->F_Set_ShowSystemObjects(true);
  const TStringList& names = db_->TableNames();
  EXPECT_GT(names.Count(), 2);
  EXPECT_GE(names.IndexOf("Logon"), 0);
  int systemTables = 0;
  for (int i = 0; i < names.Count(); ++i) systemTables += names[i].rfind("MSys", 0) == 0 ? 1 : 0;
  EXPECT_EQ(systemTables, names.Count() - 2) << names.CommaText();
  db_->F_Set_ShowSystemObjects(false);
  EXPECT_EQ(SortedText(db_->TableNames()), "Computers,Logon");
}

TEST_F(LumoDaoDataBaseCatalogueTest, RefreshWithoutDatabaseNeverFails) {
  EXPECT_NO_THROW(db_->RefreshCatalogue());
  EXPECT_TRUE(db_->TableNames().IsEmpty());
  EXPECT_TRUE(db_->QueryDefNames().IsEmpty());
  EXPECT_EQ(db_->GetQueryDefSQL("Anything"), "");
}

TEST_F(LumoDaoDataBaseCatalogueTest, QueryDefinitionsAreAddedChangedAndRead) {
  db_->Open();
  EXPECT_TRUE(db_->QueryDefNames().IsEmpty());
  EXPECT_TRUE(db_->AddQueryDef("Today", "SELECT * FROM Logon"));
  EXPECT_TRUE(db_->AddQueryDef("Names", "SELECT Username FROM Logon"));
  EXPECT_EQ(db_->QueryDefNames().Count(), 2);
  EXPECT_GE(db_->QueryDefNames().IndexOf("Today"), 0);
  EXPECT_EQ(db_->GetQueryDefSQL("today"), "SELECT * FROM Logon");

  db_->SetQueryDefSQL("Today", "SELECT ID FROM Logon");
  EXPECT_EQ(db_->GetQueryDefSQL("Today"), "SELECT ID FROM Logon");
  EXPECT_EQ(db_->GetQueryDefSQL("Missing"), "");
  try {
    db_->SetQueryDefSQL("Missing", "SELECT 1");
    FAIL() << "an unknown query definition was changed";
  } catch (const EOleException& error) {
    EXPECT_EQ(error.ErrorCode(), 3265);
  }

  // The definitions live in the file: a new connection lists them.
  db_->Close();
  db_->Open();
  EXPECT_EQ(db_->QueryDefNames().Count(), 2);
}

TEST_F(LumoDaoDataBaseCatalogueTest, DeleteIndexDropsItAndPassesTheEngineErrorsOn) {
  db_->Open();
  db_->DeleteIndex("Logon", "ByUser");
  EXPECT_EQ(db_->DaoDatabase()->TableDefs().Item("Logon")->Indexes().Find("ByUser"), nullptr);
  for (auto [table, index] : {std::pair{"Logon", "ByUser"}, std::pair{"Nowhere", "ByUser"}}) {
    try {
      db_->DeleteIndex(table, index);
      ADD_FAILURE() << table << "." << index << " deleted";
    } catch (const EOleException& error) {
      EXPECT_NE(error.ErrorCode(), 0);
    }
  }
  db_->Close();
  EXPECT_EQ(MessageOf([&] { db_->DeleteIndex("Logon", "PrimaryKey"); }),
            "TLumoDaoDatabase.DeleteIndex: Database is NOT connected");
}

TEST_F(LumoDaoDataBaseCatalogueTest, DatabaseLanguageNamesTheCollatingOrderOnlyWhileConnected) {
  EXPECT_EQ(db_->DatabaseLanguage(), "");
  EXPECT_EQ(db_->CollatingOrderCode(), 0);
  db_->Open();
  EXPECT_EQ(db_->DatabaseLanguage(), "General (English, French, German, Portuguese, Italian, and Modern Spanish)");
  EXPECT_EQ(db_->CollatingOrderCode(), 1033);
  db_->Close();
  EXPECT_EQ(db_->DatabaseLanguage(), "");
  EXPECT_EQ(db_->CollatingOrderCode(), 0);
}

TEST_F(LumoDaoDataBaseCatalogueTest, CollatingOrderTableNamesKnownCodesOnly) {
  EXPECT_EQ(TLumoDaoDatabase::CollatingOrderName(1024), "Neutral");
  EXPECT_EQ(TLumoDaoDatabase::CollatingOrderName(1030), "Norwegian or Danish");
  EXPECT_EQ(TLumoDaoDatabase::CollatingOrderName(1049), "Bulgarian or Russian");
  EXPECT_EQ(TLumoDaoDatabase::CollatingOrderName(1060), "Slovenian");
  EXPECT_EQ(TLumoDaoDatabase::CollatingOrderName(2052), "Simplified Chinese");
  EXPECT_EQ(TLumoDaoDatabase::CollatingOrderName(-1), "Undefined or unknown");
  EXPECT_EQ(TLumoDaoDatabase::CollatingOrderName(1031), "");
  EXPECT_EQ(TLumoDaoDatabase::CollatingOrderName(0), "");
}

// --- registry look-ups ---------------------------------------------------------------------

constexpr const char* kMachineWithDao =
    "Windows Registry Editor Version 5.00\r\n"
    "\r\n"
    "[HKEY_CLASSES_ROOT\\DAO.DBEngine.36]\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Jet\\4.0\\Engines]\r\n"
    "\"SystemDB\"=\"/srv/journal/system.mdw\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Jet\\4.0\\ISAM Formats\\dBASE IV]\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Jet\\4.0\\ISAM Formats\\Text]\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBCINST.INI\\ODBC Drivers]\r\n"
    "\"SQLite3\"=\"Installed\"\r\n"
    "\"PostgreSQL Unicode\"=\"Installed\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources]\r\n"
    "\"Journal\"=\"SQLite3\"\r\n"
    "\"Server\"=\"PostgreSQL Unicode\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\Journal]\r\n"
    "\"DBQ\"=\"/srv/journal/logon.db\"\r\n"
    "[HKEY_LOCAL_MACHINE\\SOFTWARE\\ODBC\\ODBC.INI\\Server]\r\n"
    "\"Servername\"=\"db.example.org\"\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\ODBC Data Sources]\r\n"
    "\"Mine\"=\"SQLite3\"\r\n"
    "[HKEY_CURRENT_USER\\SOFTWARE\\ODBC\\ODBC.INI\\Mine]\r\n"
    "\"DBQ\"=\"/home/me/mine.db\"\r\n";

TEST_F(LumoDaoDataBaseCatalogueTest, OdbcListsComeFromTheOdbcConfiguration) {
  TLumoDaoDatabase db(nullptr);
  EXPECT_EQ(db.ODBCDrivers().CommaText(), "SQLite3");
  EXPECT_EQ(db.SystemDataSources().CommaText(), "Journal,Server");
  EXPECT_EQ(db.UserDataSources().CommaText(), "Mine");
  EXPECT_EQ(db.DataSourceFiles().Text(), "Mine=/home/me/mine.db\r\nJournal=/srv/journal/logon.db\r\n");
}

TEST_F(LumoDaoDataBaseCatalogueTest, OdbcListsAreReadOnceWhenFirstAskedFor) {
  const std::string userFile = OdbcConfiguration::folder + "/user-odbc.ini";
  const std::string mine = "[Mine]\nDriver=SQLite3\nDBQ=/home/me/mine.db\n";
  TLumoDaoDatabase db(nullptr);
  // Made before the first look, so the lists show it.
  std::ofstream(userFile) << mine << "[Added]\nDriver=SQLite3\nDBQ=/home/me/added.db\n";
  EXPECT_EQ(db.UserDataSources().CommaText(), "Mine,Added");
  std::ofstream(userFile) << mine;
  // Read once: the other lists were filled with the first and stay as they were then.
  EXPECT_EQ(db.UserDataSources().CommaText(), "Mine,Added");
  EXPECT_EQ(db.DataSourceFiles().Text(),
            "Mine=/home/me/mine.db\r\nAdded=/home/me/added.db\r\nJournal=/srv/journal/logon.db\r\n");
  // A component made now sees the file as it is now.
  TLumoDaoDatabase later(nullptr);
  EXPECT_EQ(later.UserDataSources().CommaText(), "Mine");
}

TEST_F(LumoDaoDataBaseCatalogueTest, DatabaseTypesFollowEveryVersionBeforeAndAfterTheFirstLook) {
  UseRegistry(kMachineWithDao);
  TLumoDaoDatabase db(nullptr);
  EXPECT_EQ(db.DatabaseTypes().CommaText(), "Access,ODBC,\"dBASE IV\",Text");
  db.F_Set_DaoVersion("3.6");
  db.F_Set_DaoVersion("3.5");
  EXPECT_EQ(db.DatabaseTypes().CommaText(), "Access,ODBC,Access,ODBC,\"dBASE IV\",Text");
}

TEST_F(LumoDaoDataBaseCatalogueTest, RegistryListsShowTheRegistryDescription) {
  UseRegistry(kMachineWithDao);
  TLumoDaoDatabase db(nullptr);
  EXPECT_EQ(db.SystemDatabase(), "/srv/journal/system.mdw");
  EXPECT_EQ(db.DaoEngine()->SystemDB(), "/srv/journal/system.mdw");
  EXPECT_EQ(db.DatabaseTypes().CommaText(), "Access,ODBC,\"dBASE IV\",Text");
  EXPECT_EQ(db.ODBCDrivers().CommaText(), "SQLite3,\"PostgreSQL Unicode\"");
  EXPECT_EQ(db.SystemDataSources().CommaText(), "Journal,Server");
  EXPECT_EQ(db.UserDataSources().CommaText(), "Mine");
  // User sources first; a source without DBQ is left out.
  EXPECT_EQ(db.DataSourceFiles().Text(), "Mine=/home/me/mine.db\r\nJournal=/srv/journal/logon.db\r\n");
  EXPECT_EQ(db.DataSourceFile("Journal", false), "");
  EXPECT_EQ(db.DataSourceFile("Journal", true), "/srv/journal/logon.db");
}

TEST_F(LumoDaoDataBaseCatalogueTest, VersionWithoutIsamKeyPutsTheBuiltInTypesInFrontAgain) {
  UseRegistry(kMachineWithDao);
  TLumoDaoDatabase db(nullptr);
  db.F_Set_DaoVersion("3.5");
  EXPECT_EQ(db.DatabaseTypes().CommaText(), "Access,ODBC,Access,ODBC,\"dBASE IV\",Text");
  // No 3.5 Engines key: the workgroup file falls back to none.
  EXPECT_EQ(db.JetSystemDatabase(), "");
}

TEST_F(LumoDaoDataBaseCatalogueTest, MissingDaoClassKeyMeansNoDao) {
  UseRegistry(
      "[HKEY_LOCAL_MACHINE\\SOFTWARE\\Microsoft\\Jet\\4.0\\Engines]\r\n"
      "\"SystemDB\"=\"\"\r\n");
  EXPECT_EQ(MessageOf([] { TLumoDaoDatabase db(nullptr); }), "Cannot find DAO on your system!");
}

TEST_F(LumoDaoDataBaseCatalogueTest, MissingKeysLeaveTheListsEmpty) {
  UseRegistry("[HKEY_CLASSES_ROOT\\DAO.DBEngine.36]\r\n");
  TLumoDaoDatabase db(nullptr);
  EXPECT_EQ(db.SystemDatabase(), "");
  EXPECT_EQ(db.DatabaseTypes().CommaText(), "Access,ODBC");
  EXPECT_TRUE(db.ODBCDrivers().IsEmpty());
  EXPECT_TRUE(db.SystemDataSources().IsEmpty());
  EXPECT_TRUE(db.UserDataSources().IsEmpty());
  EXPECT_TRUE(db.DataSourceFiles().IsEmpty());
}

}  // namespace
}  // namespace lumo

#include "dao/database/LumoDaoDataBase.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>

#include "DaoDatabaseTestSupport.h"
#include "jet/Workspace.h"
#include "runtime/Com.h"
#include "runtime/FormReader.h"
#include "runtime/FormWriter.h"
#include "runtime/OsFacts.h"
#include "runtime/StrUtils.h"

namespace lumo {
namespace {

using testing::MessageOf;
using testing::SortedText;

constexpr const char* kCancelText = "If You not enter Username and Password You may not gain access to your data!";

class LumoDaoDataBaseTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    journal_ = MakeDatabase("journal.mdb", {"CREATE TABLE Logon (ID COUNTER PRIMARY KEY, Username TEXT(50))",
                                            "CREATE INDEX ByUser ON Logon (Username)"});
    db_ = std::make_unique<TLumoDaoDatabase>(nullptr);
    db_->OnBeforeConnect = [this](TLumoDaoDatabase*) { events_.push_back("before connect"); };
    db_->OnAfterConnect = [this](TLumoDaoDatabase*) { events_.push_back("after connect"); };
    db_->OnBeforeDisconnect = [this](TLumoDaoDatabase*) { events_.push_back("before disconnect"); };
    db_->OnAfterDisconnect = [this](TLumoDaoDatabase*) { events_.push_back("after disconnect"); };
  }
  void TearDown() override {
    db_.reset();
    TempFolderTest::TearDown();
  }

  void ConnectJournal() {
    db_->F_Set_Database(journal_);
    db_->Open();
  }

  std::string journal_;
  std::unique_ptr<TLumoDaoDatabase> db_;
  std::vector<std::string> events_;
};

TEST_F(LumoDaoDataBaseTest, ConstructionGivesThePublishedStartValues) {
  EXPECT_EQ(db_->ComponentVersion(), "9.10");
  EXPECT_FALSE(db_->Exclusive());
  EXPECT_EQ(db_->DatabaseLanguage(), "");
  EXPECT_EQ(db_->DatabaseType(), "Access");
  EXPECT_EQ(db_->Database(), "");
  EXPECT_EQ(db_->DatabaseParameters(), "");
  EXPECT_EQ(db_->DatabaseVersionInfo(), "");
  EXPECT_FALSE(db_->ReadOnly());
  EXPECT_FALSE(db_->LoginPrompt());
  EXPECT_EQ(db_->UserName(), "Admin");
  EXPECT_TRUE(db_->UseODBCDialog());
  EXPECT_EQ(db_->Password(), "");
  EXPECT_EQ(db_->DatabasePassword(), "");
  EXPECT_EQ(db_->SystemDatabase(), "");  // the engine registers no workgroup file
  EXPECT_TRUE(db_->SaveUserName());
  EXPECT_FALSE(db_->ShowSystemObjects());
  EXPECT_TRUE(db_->SmartOpen());
  EXPECT_EQ(db_->EngineType(), 2);
  EXPECT_FALSE(db_->PrivateEngine());
  EXPECT_TRUE(db_->TrackTransactions());
  EXPECT_TRUE(db_->UsesDynaDao());
  EXPECT_EQ(db_->Version(), "3.6");
  EXPECT_EQ(db_->VersionDetails(), "3.6");
  EXPECT_EQ(db_->VersionInfo(), "(In Access'2000 mode)");
  EXPECT_EQ(db_->Workspace(), "DaoWorkspace");
  EXPECT_EQ(db_->DefaultCursorDriver(), -1);
  EXPECT_EQ(db_->QueryTimeout(), 60);
  EXPECT_FALSE(db_->MdbVersionAutoDetect());
  EXPECT_FALSE(db_->Connected());
  EXPECT_EQ(db_->DaoVersions().CommaText(), "3.6");
  ASSERT_NE(db_->DaoEngine(), nullptr);
  EXPECT_EQ(db_->DaoEngine()->DefaultUser(), "Admin");
  EXPECT_EQ(db_->DaoWorkspace(), nullptr);
  EXPECT_EQ(db_->DaoDatabase(), nullptr);
  EXPECT_GE(ComInitCount(), 1);
}

TEST_F(LumoDaoDataBaseTest, ComInitialisationIsUndoneOnDestruction) {
  const int before = ComInitCount();
  {
    TLumoDaoDatabase other(nullptr);
    other.PrepareWorkspace();  // undoes and redoes its own initialisation
    EXPECT_EQ(ComInitCount(), before + 1);
  }
  EXPECT_EQ(ComInitCount(), before);
}

TEST_F(LumoDaoDataBaseTest, ConnectOpensTheFileAndFiresEventsOnce) {
  ConnectJournal();
  db_->Open();
  EXPECT_TRUE(db_->Connected());
  ASSERT_NE(db_->DaoDatabase(), nullptr);
  EXPECT_EQ(db_->DaoWorkspace()->Name(), "DaoWorkspace");
  EXPECT_EQ(db_->DatabaseVersionInfo(), "4.0");
  EXPECT_EQ(db_->TableNames().CommaText(), "Logon");
  EXPECT_EQ(events_, (std::vector<std::string>{"before connect", "after connect"}));

  db_->Close();
  db_->Close();
  EXPECT_FALSE(db_->Connected());
  EXPECT_EQ(db_->DaoDatabase(), nullptr);
  EXPECT_NE(db_->DaoWorkspace(), nullptr);  // workspace and engine stay
  EXPECT_TRUE(db_->TableNames().IsEmpty());
  EXPECT_EQ(events_,
            (std::vector<std::string>{"before connect", "after connect", "before disconnect", "after disconnect"}));
}

TEST_F(LumoDaoDataBaseTest, OpensAFileMadeByTheDatabaseShell) {
#ifdef JETSH_PATH
  const std::string path = PathOf("shell.mdb");
  const std::string command = std::string(JETSH_PATH) + " --create '" + path +
                              "' 'CREATE TABLE Logon (ID COUNTER PRIMARY KEY, Username TEXT(50))'"
                              " 'CREATE TABLE Computers (Name TEXT(15))' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0) << command;
  db_->F_Set_Database(path);
  db_->Open();
  EXPECT_TRUE(db_->Connected());
  EXPECT_EQ(SortedText(db_->TableNames()), "Computers,Logon");
#else
  GTEST_SKIP() << "the database shell is not built";
#endif
}

TEST_F(LumoDaoDataBaseTest, TransactionsCommitAndRollBackWhatTheDatabaseWrote) {
  EXPECT_EQ(MessageOf([&] { db_->StartTransaction(); }),
            "TLumoDaoDatabase.StartTransaction: Database is NOT connected");
  EXPECT_FALSE(db_->InTransaction());
  ConnectJournal();
  auto shellCount = [&] {
    const std::string command = "sqlite3 '" + journal_ + "' 'SELECT count(*) FROM Logon'";
    FILE* pipe = popen(command.c_str(), "r");
    char line[64] = {};
    if (pipe == nullptr || fgets(line, sizeof line, pipe) == nullptr) line[0] = '\0';
    if (pipe != nullptr) pclose(pipe);
    return std::string(line);
  };
  db_->StartTransaction();
  EXPECT_TRUE(db_->InTransaction());
  db_->DaoDatabase()->Execute("INSERT INTO Logon (Username) VALUES ('kept')", jet::dbFailOnError);
  EXPECT_EQ(shellCount(), "0\n");  // nothing is visible to others before the commit
  db_->Commit();
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(shellCount(), "1\n");

  db_->StartTransaction();
  db_->DaoDatabase()->Execute("INSERT INTO Logon (Username) VALUES ('dropped')", jet::dbFailOnError);
  db_->Rollback();
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(shellCount(), "1\n");
  // Commit or roll back without a transaction: the engine's error.
  EXPECT_NE(MessageOf([&] { db_->Commit(); }), "");
  EXPECT_NE(MessageOf([&] { db_->Rollback(); }), "");

  // Disconnecting rolls back what is still open.
  db_->StartTransaction();
  db_->DaoDatabase()->Execute("INSERT INTO Logon (Username) VALUES ('open')", jet::dbFailOnError);
  db_->Close();
  EXPECT_FALSE(db_->InTransaction());
  EXPECT_EQ(shellCount(), "1\n");
  db_->Open();
  db_->StartTransaction();
  EXPECT_TRUE(db_->InTransaction());
  db_->Commit();
}

TEST_F(LumoDaoDataBaseTest, DisconnectedCloseFiresNoEvent) {
  db_->Close();
  EXPECT_TRUE(events_.empty());
}

TEST_F(LumoDaoDataBaseTest, ConnectRefusesMissingDatabaseOrType) {
  EXPECT_EQ(MessageOf([&] { db_->Open(); }), "TLumoDaoDatabase.F_Set_Active: Database property is not defined!");
  db_->F_Set_DatabaseType("");
  db_->F_Set_Database(journal_);
  EXPECT_EQ(MessageOf([&] { db_->Open(); }), "TLumoDaoDatabase.F_Set_Active: DatabaseType property is not defined!");
  EXPECT_TRUE(events_.empty());
}

TEST_F(LumoDaoDataBaseTest, MissingFileWithoutSmartOpenNamesThePath) {
  db_->F_Set_SmartOpen(false);
  const std::string missing = PathOf("nowhere.mdb");
  db_->F_Set_Database(missing);
  EXPECT_EQ(MessageOf([&] { db_->Open(); }), "Cannot find Database:\r\n" + missing);
  EXPECT_EQ(db_->Database(), missing);
  EXPECT_FALSE(db_->Connected());
}

TEST_F(LumoDaoDataBaseTest, SmartOpenLooksBesideTheExecutableAndKeepsTheTriedPath) {
  const std::string exeFolder = std::filesystem::path(ExecutablePath()).parent_path().string() + "/";
  const std::string name = "lumo-smartopen-" + std::to_string(getpid()) + ".mdb";

  db_->F_Set_Database(PathOf("sub/" + name));
  EXPECT_EQ(MessageOf([&] { db_->Open(); }), "Cannot find Database:\r\n" + exeFolder + name);
  EXPECT_EQ(db_->Database(), exeFolder + name);

  std::filesystem::copy_file(journal_, exeFolder + name);
  db_->F_Set_Database(PathOf("sub/" + name));
  EXPECT_NO_THROW(db_->Open());
  EXPECT_TRUE(db_->Connected());
  EXPECT_EQ(db_->Database(), exeFolder + name);
  db_->Close();
  std::filesystem::remove(exeFolder + name);
}

TEST_F(LumoDaoDataBaseTest, AccessTypeInAnyCaseOpensButOnlyExactAccessDetectsTheVersion) {
  // A file with the Access 2000 mark in its header but no database behind it.
  const std::string fake = PathOf("fake.mdb");
  std::string header(200, 'x');
  header[156] = '4';
  header[157] = '.';
  std::ofstream(fake, std::ios::binary) << header;

  db_->F_Set_DaoVersion("3.5");
  db_->F_Set_MdbVersionAutoDetect(true);
  db_->F_Set_DatabaseType("access");
  db_->F_Set_Database(fake);
  EXPECT_NE(MessageOf([&] { db_->Open(); }), "");
  EXPECT_EQ(db_->Version(), "3.5");

  db_->F_Set_DatabaseType("Access");
  db_->F_Set_Database(fake);
  EXPECT_NE(MessageOf([&] { db_->Open(); }), "");
  EXPECT_EQ(db_->Version(), "3.6");

  db_->F_Set_DatabaseType("access");
  db_->F_Set_Database(journal_);
  db_->Open();
  EXPECT_TRUE(db_->Connected());
  EXPECT_EQ(db_->DatabaseVersionInfo(), "4.0");
}

TEST_F(LumoDaoDataBaseTest, DetectMdbVersionIgnoresShortFiles) {
  const std::string shortFile = PathOf("short.mdb");
  std::string header(159, 'x');
  header[156] = '4';
  header[157] = '.';
  std::ofstream(shortFile, std::ios::binary) << header;
  db_->F_Set_DaoVersion("3.5");
  db_->DetectMdbVersion(shortFile);
  db_->DetectMdbVersion(PathOf("absent.mdb"));
  EXPECT_EQ(db_->Version(), "3.5");
}

TEST_F(LumoDaoDataBaseTest, OpenTableRefusesOdbcDirectForAccessAndOtherTypes) {
  db_->F_Set_EngineType(1);
  db_->F_Set_Database(journal_);
  EXPECT_EQ(MessageOf([&] { db_->Open(); }),
            "TLumoDaoDatabase.F_Set_Active: ODBC direct workspaces\r\nare NOT supported for MS Access Databases!");
  db_->F_Set_DatabaseType("dBASE IV");
  db_->F_Set_Database(PathOf(""));
  EXPECT_EQ(MessageOf([&] { db_->Open(); }), "TLumoDaoDatabase.F_Set_Active: ODBC direct workspaces NOT supported!");
  EXPECT_FALSE(db_->Connected());
}

TEST_F(LumoDaoDataBaseTest, OdbcAndIsamSourcesReachTheEngine) {
  // An ODBC source reaches the engine's ODBC back-end, which names the data source nobody
  // configured; for an ISAM the engine has no driver: its "installable ISAM" error comes
  // through.
  for (const char* type : {"ODBC", "odbc", "dBASE IV"}) {
    db_->F_Set_DatabaseType(type);
    db_->F_Set_Database("Journal");
    try {
      db_->Open();
      ADD_FAILURE() << type << " connected";
    } catch (const EOleException& error) {
      const bool odbc = SameText(type, "ODBC");
      EXPECT_EQ(error.ErrorCode(), odbc ? 3151 : 3170) << type;
      if (odbc) {
        EXPECT_NE(error.Message().find("'Journal'"), std::string::npos) << error.Message();
      }
    }
    EXPECT_FALSE(db_->Connected());
  }
  // An ODBC direct workspace reaches the same data source through OpenConnection.
  db_->F_Set_EngineType(1);
  db_->F_Set_DatabaseType("ODBC");
  db_->F_Set_Database("odbc;DSN=Journal");
  try {
    db_->Open();
    ADD_FAILURE() << "connected";
  } catch (const EOleException& error) {
    EXPECT_EQ(error.ErrorCode(), 3151);
    EXPECT_NE(error.Message().find("'Journal'"), std::string::npos) << error.Message();
  }
}

TEST_F(LumoDaoDataBaseTest, QueryTimeoutIsHandedOnOnlyWhenNot60) {
  db_->F_Set_QueryTimeout(5);
  ConnectJournal();
  EXPECT_EQ(db_->DaoDatabase()->QueryTimeout(), 5);
  db_->Close();
  db_->F_Set_QueryTimeout(60);
  db_->Open();
  EXPECT_EQ(db_->DaoDatabase()->QueryTimeout(), 60);
}

TEST_F(LumoDaoDataBaseTest, WrongWorkspacePasswordRaisesTheEngineError) {
  db_->F_Set_Password("wrong");
  db_->F_Set_Database(journal_);
  try {
    db_->Open();
    FAIL() << "connected";
  } catch (const EOleException& error) {
    EXPECT_EQ(error.ErrorCode(), 3029);
    EXPECT_EQ(db_->GetLastDaoError().Number, 3029);
    EXPECT_EQ(db_->GetLastDaoError().Description.substr(0, error.Message().size()), error.Message());
  }
  EXPECT_FALSE(db_->Connected());
  EXPECT_TRUE(messages_.empty());
}

TEST_F(LumoDaoDataBaseTest, GetLastDaoErrorIsEmptyWithoutErrors) {
  TDaoErrRec record = db_->GetLastDaoError();
  EXPECT_EQ(record.Number, 0);
  EXPECT_EQ(record.Description, "");
  EXPECT_EQ(record.HelpContext, 0);
}

// --- property setters ----------------------------------------------------------------------

TEST_F(LumoDaoDataBaseTest, SettersRefuseWhileConnectedAndKeepTheValue) {
  ConnectJournal();
  struct Refusal {
    std::function<void()> set;
    const char* text;
  };
  const std::vector<Refusal> refusals = {
      {[&] { db_->F_Set_Database("x"); },
       "TLumoDaoDatabase.F_Set_Database: Cannot set Database while Database is connected!"},
      {[&] { db_->F_Set_DatabaseParameters("x"); },
       "TLumoDaoDatabase.F_Set_DatabaseParameters: Cannot set DatabaseParameters while Database is connected!"},
      {[&] { db_->F_Set_SystemDatabase("x"); },
       "TLumoDaoDatabase.F_Set_SystemDatabase: Cannot set SystemDatabase while Database is connected!"},
      {[&] { db_->F_Set_DaoVersion("3.5"); },
       "TLumoDaoDatabase.F_Set_DaoVersion: Cannot set Dao Version while Database is connected!"},
      {[&] { db_->F_Set_Workspace("x"); },
       "TLumoDaoDatabase.F_Set_Workspace: Cannot set Workspace while Database is connected!"},
      {[&] { db_->F_Set_DatabaseType("ODBC"); },
       "TLumoDaoDatabase.F_Set_DatabaseType: Cannot set Database Type while Database is connected!"},
      {[&] { db_->F_Set_EngineType(1); },
       "TLumoDaoDatabase.F_Set_EngineType: Cannot set EngineType Type while Database is connected!"},
      {[&] { db_->F_Set_PrivateEngine(true); },
       "TLumoDaoDatabase.F_Set_EngineType: Cannot set PrivateEngine Type while Database is connected!"},
      {[&] { db_->F_Set_ReadOnly(true); },
       "TLumoDaoDatabase.F_Set_ReadOnly: Cannot change mode while Database is connected!"},
      {[&] { db_->F_Set_Exclusive(true); },
       "TLumoDaoDatabase.F_Set_Exclusive: Cannot change Exclusive mode while Database is connected!"},
      {[&] { db_->F_Set_LoginPrompt(true); },
       "TLumoDaoDatabase.F_Set_LoginPrompt: Cannot change LoginPrompt while Database is connected!"},
      {[&] { db_->F_Set_UserName("x"); },
       "TLumoDaoDatabase.F_Set_UserName: Cannot change User Name while Database is connected!"},
      {[&] { db_->F_Set_Password("x"); },
       "TLumoDaoDatabase.F_Set_Password: Cannot change Password while Database is connected!"},
      {[&] { db_->F_Set_DatabasePassword("x"); },
       "TLumoDaoDatabase.F_Set_DatabasePassword: Cannot change Database Password while Database is connected!"},
      {[&] { db_->F_Set_TrackTransactions(false); },
       "Cannot set TrackTransactions property when Database is connected!"},
  };
  const std::string before = WriteComponent(*db_);
  for (const Refusal& refusal : refusals) {
    try {
      refusal.set();
      ADD_FAILURE() << "accepted: " << refusal.text;
    } catch (const EDatabaseError& error) {
      EXPECT_EQ(error.Message(), refusal.text);
    }
  }
  EXPECT_EQ(WriteComponent(*db_), before);
  EXPECT_TRUE(db_->Connected());

  // Never refused.
  db_->F_Set_DefaultCursorDriver(2);
  db_->F_Set_QueryTimeout(9);
  db_->F_Set_VersionDetails("9.9");
  db_->F_Set_DatabaseVersionInfo("9.9");
  db_->F_Set_ComponentVersion("1.0");
  EXPECT_EQ(db_->DefaultCursorDriver(), 2);
  EXPECT_EQ(db_->VersionDetails(), "3.6");
  EXPECT_EQ(db_->DatabaseVersionInfo(), "4.0");
  EXPECT_EQ(db_->ComponentVersion(), "9.10");
}

TEST_F(LumoDaoDataBaseTest, DatabaseTypeClearsDatabase) {
  db_->F_Set_Database(journal_);
  db_->F_Set_DatabaseType("Access");
  EXPECT_EQ(db_->Database(), "");
}

TEST_F(LumoDaoDataBaseTest, VersionKeepsThreeCharactersAndRefillsTheTypeList) {
  const std::string typesBefore = db_->DatabaseTypes().CommaText();
  db_->F_Set_DaoVersion("3.51 beta");
  EXPECT_EQ(db_->Version(), "3.5");
  EXPECT_EQ(db_->VersionDetails(), "3.5");
  EXPECT_EQ(db_->VersionInfo(), "(In Access'97 mode)");
  EXPECT_EQ(db_->DaoEngine()->Version(), "3.5");
  // The engine's ISAM key has no subkeys, so the list becomes just the two built-in types.
  EXPECT_EQ(typesBefore, "Access,ODBC");
  EXPECT_EQ(db_->DatabaseTypes().CommaText(), "Access,ODBC");
}

TEST_F(LumoDaoDataBaseTest, FailedRebuildRestoresTheOldValueAndRaisesTheFirstError) {
  EXPECT_NE(MessageOf([&] { db_->F_Set_DaoVersion("4.0"); }), "");
  EXPECT_EQ(db_->Version(), "3.6");
  ASSERT_NE(db_->DaoWorkspace(), nullptr);  // prepared again with the old value

  try {
    db_->F_Set_Workspace("");
    FAIL() << "an unnamed workspace was accepted";
  } catch (const EOleException& error) {
    EXPECT_EQ(error.ErrorCode(), 3001);
  }
  EXPECT_EQ(db_->Workspace(), "DaoWorkspace");
  EXPECT_EQ(db_->DaoWorkspace()->Name(), "DaoWorkspace");

  db_->F_Set_Workspace("Journal");
  EXPECT_EQ(db_->DaoWorkspace()->Name(), "Journal");
}

TEST_F(LumoDaoDataBaseTest, MissingEngineClassRaisesOldVersionAndRestores) {
  ASSERT_TRUE(UnregisterProgId("DAO.PrivateDBEngine.36"));
  EXPECT_EQ(MessageOf([&] { db_->F_Set_PrivateEngine(true); }),
            "You does not have Microsoft DAO installed ot it is an OLD Version!");
  jet::RegisterEngineClasses();
  EXPECT_FALSE(db_->PrivateEngine());
  ASSERT_NE(db_->DaoEngine(), nullptr);

  db_->F_Set_PrivateEngine(true);
  EXPECT_TRUE(db_->PrivateEngine());
  ConnectJournal();
  EXPECT_TRUE(db_->Connected());
}

TEST_F(LumoDaoDataBaseTest, EmptySystemDatabaseFallsBackToTheRegisteredOne) {
  db_->F_Set_SystemDatabase(PathOf("system.mdw"));
  EXPECT_EQ(db_->DaoEngine()->SystemDB(), PathOf("system.mdw"));
  db_->F_Set_SystemDatabase("");
  EXPECT_EQ(db_->SystemDatabase(), db_->JetSystemDatabase());
  EXPECT_EQ(db_->DaoEngine()->SystemDB(), db_->JetSystemDatabase());
}

TEST_F(LumoDaoDataBaseTest, OdbcDirectWorkspaceTakesTheCursorDriverAtOnce) {
  db_->F_Set_EngineType(1);
  EXPECT_EQ(db_->DaoWorkspace()->Type(), jet::dbUseODBC);
  db_->F_Set_DefaultCursorDriver(2);
  EXPECT_EQ(db_->DaoWorkspace()->DefaultCursorDriver(), 2);
}

// --- login -------------------------------------------------------------------------------

TEST_F(LumoDaoDataBaseTest, PromptShowsTheDialogAndTakesItsValues) {
  AnswerLogin([](TDbLogin& dialog) {
    EXPECT_EQ(dialog.Password(), "");
    EXPECT_EQ(dialog.ActiveControl(), "Username");
    dialog.SetUsername("admin");
    return ModalResult::kOk;
  });
  db_->F_Set_LoginPrompt(true);
  ConnectJournal();
  EXPECT_TRUE(db_->Connected());
  EXPECT_EQ(dialogsShown_, 1);
  EXPECT_EQ(shownUserNames_, std::vector<std::string>{"Admin"});
  EXPECT_EQ(shownDatabaseNames_, std::vector<std::string>{journal_});
  EXPECT_EQ(db_->UserName(), "admin");
}

TEST_F(LumoDaoDataBaseTest, PromptWithoutSaveUserNameLeavesTheNameEmpty) {
  AnswerLogin([](TDbLogin& dialog) {
    dialog.SetUsername("Admin");
    return ModalResult::kOk;
  });
  db_->F_Set_LoginPrompt(true);
  db_->F_Set_SaveUserName(false);
  ConnectJournal();
  EXPECT_EQ(shownUserNames_, std::vector<std::string>{""});
}

TEST_F(LumoDaoDataBaseTest, CancelShowsTheMessageAndEndsSilently) {
  AnswerLogin([](TDbLogin&) { return ModalResult::kCancel; });
  db_->F_Set_LoginPrompt(true);
  db_->F_Set_DatabasePassword("kept?");
  EXPECT_NO_THROW(ConnectJournal());
  EXPECT_FALSE(db_->Connected());
  EXPECT_EQ(messages_, std::vector<std::string>{kCancelText});
  EXPECT_EQ(db_->UserName(), "");
  EXPECT_EQ(db_->DatabasePassword(), "");
  EXPECT_EQ(events_, std::vector<std::string>{"before connect"});
}

TEST_F(LumoDaoDataBaseTest, NoDisplayMeansCancel) {
  db_->F_Set_LoginPrompt(true);
  EXPECT_NO_THROW(ConnectJournal());
  EXPECT_FALSE(db_->Connected());
  EXPECT_EQ(messages_, std::vector<std::string>{kCancelText});
}

TEST_F(LumoDaoDataBaseTest, FailedPromptedLoginIsAskedAgainUntilItWorks) {
  AnswerLogin([this](TDbLogin& dialog) {
    dialog.SetUsername("Admin");
    dialog.SetPassword(dialogsShown_ < 3 ? "wrong" : "");
    return ModalResult::kOk;
  });
  db_->F_Set_LoginPrompt(true);
  ConnectJournal();
  EXPECT_TRUE(db_->Connected());
  EXPECT_EQ(dialogsShown_, 3);
  ASSERT_EQ(messages_.size(), 2u);
  EXPECT_NE(messages_[0].find("password"), std::string::npos) << messages_[0];
}

TEST_F(LumoDaoDataBaseTest, PromptedLoginWithoutDialogRaisesInsteadOfAskingForever) {
  AnswerLogin([](TDbLogin&) { return ModalResult::kOk; });
  db_->F_Set_LoginPrompt(true);
  db_->LoginParamList().Add("PASSWORD=wrong");
  db_->F_Set_Database(journal_);
  try {
    db_->Open();
    FAIL() << "connected";
  } catch (const EOleException& error) {
    EXPECT_EQ(error.ErrorCode(), 3029);
  }
  db_->LoginParamList().Clear();
  db_->OnLogin = [](TLumoDaoDatabase*, TStrings& params) { params.SetValue("PASSWORD", "wrong"); };
  EXPECT_THROW(db_->Open(), EOleException);
  EXPECT_EQ(dialogsShown_, 0);
  EXPECT_TRUE(messages_.empty());
}

TEST_F(LumoDaoDataBaseTest, OnLoginExchangesTheValuesWithoutShowingTheDialog) {
  AnswerLogin([](TDbLogin&) { return ModalResult::kOk; });
  std::string given;
  db_->OnLogin = [&given](TLumoDaoDatabase*, TStrings& params) {
    given = params.Text();
    params.SetValue("USER NAME", "admin");
    params.Delete(params.IndexOfName("DBPASSWORD"));
  };
  db_->F_Set_DatabasePassword("old");
  for (bool prompt : {true, false}) {
    db_->F_Set_LoginPrompt(prompt);
    ConnectJournal();
    EXPECT_TRUE(db_->Connected());
    EXPECT_EQ(db_->UserName(), "admin");
    EXPECT_EQ(db_->DatabasePassword(), "");
    db_->Close();
  }
  EXPECT_EQ(given, "USER NAME=admin\r\nPASSWORD=\r\nDBPASSWORD=\r\n");
  EXPECT_EQ(dialogsShown_, 0);
}

TEST_F(LumoDaoDataBaseTest, LoginParamListGivesTheValuesItNames) {
  AnswerLogin([](TDbLogin&) { return ModalResult::kOk; });
  db_->F_Set_DatabasePassword("kept");
  db_->LoginParamList().Add("USER NAME=admin");
  for (bool prompt : {true, false}) {
    db_->F_Set_LoginPrompt(prompt);
    ConnectJournal();
    EXPECT_EQ(db_->UserName(), "admin");
    EXPECT_EQ(db_->DatabasePassword(), "kept");
    db_->Close();
  }
  EXPECT_EQ(dialogsShown_, 0);
}

// --- datasets ------------------------------------------------------------------------------

// A dataset as the database sees it: registered while open, removing itself when it closes
// unless the database marked it.
class FakeDataset : public TComponent, public DaoDatasetClient {
 public:
  FakeDataset(TLumoDaoDatabase& database, const std::string& name, bool failToClose)
      : TComponent(nullptr), database_(database), failToClose_(failToClose) {
    SetName(name);
  }
  void Open() {
    database_.OpenDatasets().AddObject(Name(), this);
    open_ = true;
  }
  void MarkClosingByDatabase() override { markedByDatabase_ = true; }
  void CloseForDatabase() override {
    open_ = false;
    if (markedByDatabase_) {
      markedByDatabase_ = false;
      sawMark_ = true;
    } else {
      TStringList& list = database_.OpenDatasets();
      list.Delete(list.IndexOfObject(this));
    }
    if (failToClose_) throw EDatabaseError("cannot close " + Name());
  }

  bool open_ = false;
  bool sawMark_ = false;

 private:
  TLumoDaoDatabase& database_;
  bool failToClose_;
  bool markedByDatabase_ = false;
};

TEST_F(LumoDaoDataBaseTest, DisconnectClosesEveryDatasetAndSwallowsTheirErrors) {
  ConnectJournal();
  FakeDataset first(*db_, "First", true);
  FakeDataset second(*db_, "Second", false);
  FakeDataset third(*db_, "Third", false);
  first.Open();
  second.Open();
  third.Open();
  EXPECT_NO_THROW(db_->Close());
  for (FakeDataset* dataset : {&first, &second, &third}) {
    EXPECT_FALSE(dataset->open_) << dataset->Name();
    EXPECT_TRUE(dataset->sawMark_) << dataset->Name();
  }
  EXPECT_TRUE(db_->OpenDatasets().IsEmpty());
  EXPECT_FALSE(db_->Connected());
}

// --- form descriptions -------------------------------------------------------------------

class TDbTestForm : public TComponent {
 public:
  explicit TDbTestForm(TComponent* owner) : TComponent(owner) {}
  static const ClassInfo& StaticClass() {
    static const ClassInfo info = ClassBuilder<TDbTestForm>("TDbTestForm", &TComponent::StaticClass)
                                      .Method("DatabaseLogin", &TDbTestForm::DatabaseLogin)
                                      .Method("DatabaseConnect", &TDbTestForm::DatabaseConnect);
    return info;
  }
  const ClassInfo& ClassType() const override { return StaticClass(); }
  void DatabaseLogin(TLumoDaoDatabase*, TStrings&) {}
  void DatabaseConnect(TLumoDaoDatabase*) { ++connects_; }
  int connects_ = 0;
};

void RegisterStreamedClasses() {
  RegisterDaoDatabaseClasses();
  RegisterClass(TDbTestForm::StaticClass());
}

TEST_F(LumoDaoDataBaseTest, WrittenComponentReadsBackWithEveryProperty) {
  RegisterStreamedClasses();
  TDbTestForm form(nullptr);
  form.SetName("fmain");
  auto* db = new TLumoDaoDatabase(&form);
  db->SetName("Database");
  // An ODBC direct workspace checks no account, so every rebuild below succeeds.
  db->F_Set_EngineType(1);
  db->F_Set_Exclusive(true);
  db->F_Set_DatabaseType("dBASE IV");
  db->F_Set_Database(PathOf("dbase"));
  db->F_Set_DatabaseParameters("CollatingSequence=Ascii");
  db->F_Set_ReadOnly(true);
  db->F_Set_LoginPrompt(true);
  db->F_Set_UseODBCDialog(false);
  db->F_Set_Password("secret");
  db->F_Set_DatabasePassword("db secret");
  db->F_Set_SystemDatabase("system.mdb");
  db->F_Set_SaveUserName(false);
  db->F_Set_ShowSystemObjects(true);
  db->F_Set_SmartOpen(false);
  db->F_Set_PrivateEngine(true);
  db->F_Set_TrackTransactions(false);
  db->F_Set_DaoVersion("3.5");
  db->F_Set_Workspace("Journal");
  db->F_Set_DefaultCursorDriver(3);
  db->F_Set_QueryTimeout(10);
  db->F_Set_MdbVersionAutoDetect(true);
  db->F_Set_UserName("Admin2");
  db->OnLogin.Bind("DatabaseLogin", [](TLumoDaoDatabase*, TStrings&) {});
  db->OnAfterConnect.Bind("DatabaseConnect", [](TLumoDaoDatabase*) {});

  const std::string text = WriteComponent(form);
  auto copy = ReadRootComponent(text);
  auto* read = dynamic_cast<TLumoDaoDatabase*>(copy->FindComponent("Database"));
  ASSERT_NE(read, nullptr) << text;
  for (const PropInfo& property : TLumoDaoDatabase::StaticClass().Properties()) {
    switch (property.kind) {
      case PropKind::kString: EXPECT_EQ(GetStrProp(*read, property), GetStrProp(*db, property)) << property.name; break;
      case PropKind::kBoolean:
      case PropKind::kInteger: EXPECT_EQ(property.getOrdinal(*read), property.getOrdinal(*db)) << property.name; break;
      case PropKind::kEvent:
        EXPECT_EQ(property.getHandlerName(*read), property.getHandlerName(*db)) << property.name;
        break;
      default: ADD_FAILURE() << "unexpected kind of " << property.name;
    }
  }
  EXPECT_EQ(read->Database(), PathOf("dbase"));  // read after DatabaseType, so not cleared
  ASSERT_NE(read->DaoWorkspace(), nullptr);
  EXPECT_EQ(read->DaoWorkspace()->Name(), "Journal");
  EXPECT_EQ(text.find("VersionDetails"), std::string::npos) << text;
}

TEST_F(LumoDaoDataBaseTest, LoadingStoresUnusableSettingsAndPreparesOnceFinished) {
  RegisterStreamedClasses();
  auto form = ReadRootComponent(
      "object fmain: TDbTestForm\n"
      "  object Database: TLumoDaoDatabase\n"
      "    Version = '4.0'\n"
      "  end\n"
      "  object Other: TLumoDaoDatabase\n"
      "    Workspace = 'Journal'\n"
      "    UserName = 'Admin'\n"
      "  end\n"
      "end\n");
  auto* broken = dynamic_cast<TLumoDaoDatabase*>(form->FindComponent("Database"));
  auto* other = dynamic_cast<TLumoDaoDatabase*>(form->FindComponent("Other"));
  ASSERT_NE(broken, nullptr);
  ASSERT_NE(other, nullptr);
  EXPECT_EQ(broken->Version(), "4.0");
  EXPECT_EQ(broken->DaoWorkspace(), nullptr);
  ASSERT_NE(other->DaoWorkspace(), nullptr);
  EXPECT_EQ(other->DaoWorkspace()->Name(), "Journal");
}

TEST_F(LumoDaoDataBaseTest, ConnectedFromADescriptionConnectsWhenLoaded) {
  RegisterStreamedClasses();
  const std::string path = journal_;
  auto form = ReadRootComponent(
      "object fmain: TDbTestForm\n"
      "  object Database: TLumoDaoDatabase\n"
      "    Connected = True\n"
      "    Database = '" +
      path +
      "'\n"
      "    OnAfterConnect = DatabaseConnect\n"
      "  end\n"
      "end\n");
  auto* db = dynamic_cast<TLumoDaoDatabase*>(form->FindComponent("Database"));
  ASSERT_NE(db, nullptr);
  EXPECT_TRUE(db->Connected());
  EXPECT_EQ(static_cast<TDbTestForm&>(*form).connects_, 1);
}

}  // namespace
}  // namespace lumo

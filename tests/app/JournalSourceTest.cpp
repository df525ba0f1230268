// Which database the journal's INI file names: a file as it always did, or a data source on a
// server; and how the database component is set up for it.

#include "app/JournalSource.h"

#include <gtest/gtest.h>

#include <fstream>

#include "dao/database/LumoDaoDataBase.h"
#include "runtime/Exceptions.h"
#include "tests/support/TestSupport.h"

namespace lumo {
namespace {

class JournalSourceTest : public lumo::testing::TemporaryFolderTest {
 protected:
  JournalSourceTest() : TemporaryFolderTest("lumo-journal-source") {}

  TJournalSource Read(const std::string& text) {
    ini_ = PathOf("logonjournal.ini");
    std::ofstream(ini_) << text;
    return ReadJournalSource(ini_);
  }

  std::string ini_;
};

TEST_F(JournalSourceTest, AnIniWithoutTypeNamesAFileAsItAlwaysDid) {
  TJournalSource source = Read("[db]\nmain=/var/lib/logonjournal/logon.mdb\nlocktimeout=2\n");
  EXPECT_EQ(source.databaseType, "Access");
  EXPECT_EQ(source.database, "/var/lib/logonjournal/logon.mdb");
  EXPECT_FALSE(source.OnServer());
  // The file's own default, and a path that looks like a connect text is still a path.
  EXPECT_EQ(Read("[db]\n").database, "logon1.mdb");
  EXPECT_EQ(Read("; nothing here\n").database, "logon1.mdb");
  source = Read("[DB]\nType = access\nmain=/srv/DSN=x;y.mdb\n");
  EXPECT_EQ(source.databaseType, "Access");
  EXPECT_EQ(source.database, "/srv/DSN=x;y.mdb");
}

TEST_F(JournalSourceTest, TypeOdbcNamesADataSourceOrAConnectText) {
  TJournalSource source = Read("[db]\ntype=ODBC\nmain=journal\n");
  EXPECT_TRUE(source.OnServer());
  EXPECT_EQ(source.database, "journal");
  EXPECT_EQ(Read("[db]\ntype=odbc\n").database, kDefaultJournalSource);
  EXPECT_EQ(Read("[db]\ntype=Odbc\nmain=  \n").database, kDefaultJournalSource);
  EXPECT_EQ(Read("[db]\ntype=ODBC\nmain=ODBC;DSN=journal;\n").database, "ODBC;DSN=journal;");
  EXPECT_EQ(Read("[db]\ntype=ODBC\nmain=odbc;DSN=journal\n").database, "odbc;DSN=journal");
  // Without its type in front a connect text would be taken for the name of a data source.
  EXPECT_EQ(Read("[db]\ntype=ODBC\nmain=DSN=journal;UID=alice\n").database, "ODBC;DSN=journal;UID=alice");
  EXPECT_EQ(Read("[db]\ntype=ODBC\n").databaseType, "ODBC");
}

TEST_F(JournalSourceTest, AnUnknownTypeIsRefusedNamingTheIniFile) {
  for (const char* type : {"Excel 8.0", "sqlite", "ODBC;"}) {
    try {
      Read(std::string("[db]\ntype=") + type + "\nmain=x\n");
      ADD_FAILURE() << type << " was taken";
    } catch (const EDatabaseError& error) {
      EXPECT_EQ(error.Message(), ini_ + ": [db] type=" + type +
                                     " is no type the journal writes to: Access (a database file, the default) or "
                                     "ODBC (a data source on a server)");
    }
  }
}

TEST_F(JournalSourceTest, OnAServerTheComponentLogsInAsTheUserWithoutAPasswordOfItsOwn) {
  TLumoDaoDatabase database(nullptr);
  database.F_Set_Password("from the form");
  ApplyJournalSource(database, Read("[db]\ntype=odbc\nmain=journal\n"), "alice");
  EXPECT_EQ(database.DatabaseType(), "ODBC");
  EXPECT_EQ(database.Database(), "ODBC;DSN=journal;UID=alice;PWD=;");
  // The engine's workspace knows only its own account: the login is the connect text's.
  EXPECT_EQ(database.UserName(), "Admin");

  ApplyJournalSource(database, Read("[db]\ntype=ODBC\nmain=DRIVER=/x/psql.so;Port=5432\n"), "alice");
  EXPECT_EQ(database.Database(), "ODBC;DRIVER=/x/psql.so;Port=5432;UID=alice;PWD=;");
  // A login the INI file names is kept, whatever its case.
  ApplyJournalSource(database, Read("[db]\ntype=ODBC\nmain=ODBC;DSN=journal;uid=recorder;\n"), "alice");
  EXPECT_EQ(database.Database(), "ODBC;DSN=journal;uid=recorder;");

  TLumoDaoDatabase file(nullptr);
  ApplyJournalSource(file, Read("[db]\nmain=/tmp/x.mdb\n"), "alice");
  EXPECT_EQ(file.DatabaseType(), "Access");
  EXPECT_EQ(file.Database(), "/tmp/x.mdb");
  EXPECT_EQ(file.UserName(), "Admin");
}

TEST_F(JournalSourceTest, MessagesNameTheSourceWithoutItsPassword) {
  EXPECT_EQ(JournalSourceText(Read("[db]\nmain=/x/logon.mdb\n")), "/x/logon.mdb");
  EXPECT_EQ(JournalSourceText(Read("[db]\ntype=ODBC\nmain=journal\n")), "journal");
  EXPECT_EQ(JournalSourceText(Read("[db]\ntype=ODBC\nmain=DSN=journal;UID=alice;PWD=secret;Port=5432\n")),
            "ODBC;DSN=journal;UID=alice;Port=5432");
  // A braced value may hold ";" and "PWD=" without ending or starting a part.
  EXPECT_EQ(JournalSourceText(
                Read("[db]\ntype=ODBC\nmain=ODBC;pqopt={sslmode=require;x=1};password={a;PWD=b};pwd = c;DSN=j\n")),
            "ODBC;pqopt={sslmode=require;x=1};DSN=j");
}

}  // namespace
}  // namespace lumo

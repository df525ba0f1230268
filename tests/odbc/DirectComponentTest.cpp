// The components on an ODBC direct workspace against the test cluster: the database component
// with EngineType 1 connects through OpenConnection and lists no tables, and a dataset of
// TableType 16 shows the server's rows as other sessions change them.

#include <gtest/gtest.h>

#include <memory>
#include <string>

#include "dao/database/LumoDaoDataBase.h"
#include "dao/dataset/LumoDaoTable.h"
#include "jet/Connection.h"
#include "jet/DaoConstants.h"
#include "jet/Recordset.h"
#include "jet/odbc/DirectConnection.h"
#include "tests/odbc/OdbcTestSupport.h"

namespace lumo {
namespace {

using jet::testing::Cluster;
using jet::testing::Psql;
using jet::testing::TestTable;

class DirectComponentTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LUMO_REQUIRE_CLUSTER();
    jet::odbc::RegisterDirectConnections();
    table_ = TestTable();
    ASSERT_EQ(Psql("DROP TABLE IF EXISTS " + table_ + "; CREATE TABLE " + table_ +
                   " (id integer PRIMARY KEY, name varchar(20) NOT NULL, n integer);"
                   " INSERT INTO " +
                   table_ + " VALUES (1, 'Anna', 10), (2, 'Bert', 20), (3, 'Carl', 30)")
                  .status,
              0);
    database_ = std::make_unique<TLumoDaoDatabase>(nullptr);
    database_->F_Set_DatabaseType("ODBC");
    database_->F_Set_EngineType(jet::dbUseODBC);
  }
  void TearDown() override {
    dataset_.reset();
    database_.reset();
  }

  void OpenDataset(const std::string& sql, int tableType) {
    dataset_ = std::make_unique<TLumoDaoTable>(nullptr);
    dataset_->F_Set_Database(database_.get());
    dataset_->SQL().Clear();
    dataset_->SQL().Add(sql);
    dataset_->F_Set_TableType(tableType);
    dataset_->Open();
  }

  std::string table_;
  std::unique_ptr<TLumoDaoDatabase> database_;
  std::unique_ptr<TLumoDaoTable> dataset_;
};

TEST_F(DirectComponentTest, ConnectsByConnectTextOrDataSourceAndListsNoTables) {
  // "odbc;" in any case: the connect text as it stands.
  database_->F_Set_Database("odbc;DSN=" + Cluster().dsn + ";UID=" + Cluster().user + ";PWD=" + Cluster().password);
  database_->Open();
  ASSERT_TRUE(database_->Connected());
  EXPECT_EQ(database_->TableNames().Count(), 0);
  std::shared_ptr<jet::Connection> connection = database_->DaoDatabase()->Connection();
  EXPECT_EQ(connection->Database().get(), database_->DaoDatabase().get());
  database_->Close();

  // A data source name with the component's user and password.
  database_->F_Set_Database(Cluster().dsn);
  database_->F_Set_UserName(Cluster().user);
  database_->F_Set_Password(Cluster().password);
  database_->Open();
  ASSERT_TRUE(database_->Connected());
  EXPECT_NE(database_->DaoDatabase()->Connect().find("DSN=" + Cluster().dsn), std::string::npos);
  database_->Close();

  // A wrong password is the server's refusal, raised from the connect.
  database_->F_Set_Password("not-it");
  try {
    database_->Open();
    ADD_FAILURE() << "connected with a wrong password";
  } catch (const EOleException& error) {
    EXPECT_EQ(error.ErrorCode(), 3151);
    EXPECT_NE(error.Message().find("password authentication failed"), std::string::npos) << error.Message();
  }
  EXPECT_FALSE(database_->Connected());
}

TEST_F(DirectComponentTest, ADynamicDatasetShowsWhatOtherSessionsChange) {
  database_->F_Set_Database(Cluster().Connect());
  database_->Open();
  OpenDataset("SELECT id, name, n FROM " + table_ + " ORDER BY id", jet::dbOpenDynamic);
  EXPECT_EQ(dataset_->DaoRecordset()->Type(), jet::dbOpenDynamic);
  EXPECT_FALSE(dataset_->LockEdits()) << "ODBC data is changed optimistically";
  EXPECT_EQ(dataset_->FieldByName("name")->AsString(), "Anna");
  dataset_->Next();
  ASSERT_EQ(Psql("UPDATE " + table_ + " SET name = 'Anne' WHERE id = 1").status, 0);
  dataset_->First();
  EXPECT_EQ(dataset_->FieldByName("name")->AsString(), "Anne");
  std::string names;
  for (dataset_->First(); !dataset_->Eof(); dataset_->Next()) names += dataset_->FieldByName("name")->AsString() + ",";
  EXPECT_EQ(names, "Anne,Bert,Carl,");
  EXPECT_EQ(dataset_->RecordCount(), 3);
  // Posting writes the row on the server.
  dataset_->First();
  dataset_->Edit();
  dataset_->FieldByName("n")->SetAsInteger(9);
  dataset_->Post();
  EXPECT_EQ(Psql("SELECT n FROM " + table_ + " WHERE id = 1").output, "9\n");
  dataset_->Close();

  // The component refuses dynamic datasets only where the database type is not ODBC; a
  // snapshot of the same connection keeps its rows as read.
  OpenDataset("SELECT name FROM " + table_ + " WHERE n > 10 ORDER BY id", jet::dbOpenSnapshot);
  EXPECT_TRUE(dataset_->ReadOnly());
  EXPECT_EQ(dataset_->FieldByName("name")->AsString(), "Bert");
}

}  // namespace
}  // namespace lumo

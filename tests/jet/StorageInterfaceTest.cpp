// The storage interface as the object model uses it, served by the SQLite back-end: statements
// and transactions through storage::Connection, the catalogue reader, the change counters and
// the error mapper, each on a real file in a temporary folder.

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "jet/DaoConstants.h"
#include "jet/sqlite/SqliteConnection.h"
#include "jet/storage/CatalogueReader.h"
#include "jet/storage/Connection.h"
#include "jet/storage/ErrorMapper.h"
#include "jet/storage/Transaction.h"
#include "runtime/Exceptions.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

using testing::DaoNumberOf;

class StorageInterfaceTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    if (HasFatalFailure()) return;
    sqlite_ = std::make_unique<SqliteConnection>(PathOf("a.db"), OpenMode::Create);
    sqlite_->Exec("PRAGMA journal_mode=WAL");
    connection_ = sqlite_.get();
  }
  void TearDown() override {
    sqlite_.reset();
    TempFolderTest::TearDown();
  }

  int64_t Count(const std::string& table) {
    std::unique_ptr<storage::Statement> statement = connection_->Prepare("SELECT count(*) FROM " + table);
    EXPECT_TRUE(statement->Step());
    return statement->ColumnInt64(0);
  }

  std::unique_ptr<SqliteConnection> sqlite_;
  storage::Connection* connection_ = nullptr;  // what the object model holds
};

TEST_F(StorageInterfaceTest, StatementsBindStepAndReadTypedColumns) {
  connection_->Exec("CREATE TABLE t (i INTEGER, r REAL, s TEXT, b BLOB)");
  std::unique_ptr<storage::Statement> insert = connection_->Prepare("INSERT INTO t VALUES (?1, ?2, ?3, ?4)");
  EXPECT_EQ(insert->ParameterCount(), 4);
  EXPECT_FALSE(insert->IsReadOnly());
  const unsigned char bytes[] = {0, 1, 2};
  insert->BindInt64(1, 42);
  insert->BindDouble(2, 2.5);
  insert->BindText(3, "Köln");
  insert->BindBlob(4, bytes, sizeof bytes);
  EXPECT_FALSE(insert->Step());
  EXPECT_EQ(connection_->Changes(), 1);
  insert->Reset();
  insert->ClearBindings();
  EXPECT_FALSE(insert->Step());  // cleared bindings insert Nulls

  std::unique_ptr<storage::Statement> select =
      connection_->Prepare("SELECT i, r, s, b, i + 1 AS n FROM t ORDER BY rowid");
  EXPECT_TRUE(select->IsReadOnly());
  ASSERT_TRUE(select->Step());
  EXPECT_EQ(select->TypeOf(0), ColumnType::Integer);
  EXPECT_EQ(select->ColumnInt64(0), 42);
  EXPECT_EQ(select->TypeOf(1), ColumnType::Float);
  EXPECT_DOUBLE_EQ(select->ColumnDouble(1), 2.5);
  EXPECT_EQ(select->ColumnTextView(2), "Köln");
  EXPECT_EQ(select->ColumnBlob(3), (std::vector<uint8_t>{0, 1, 2}));
  EXPECT_EQ(select->ColumnName(4), "n");
  EXPECT_EQ(select->ColumnTableName(0), "t");
  EXPECT_EQ(select->ColumnOriginName(2), "s");
  EXPECT_EQ(select->ColumnTableName(4), "");
  EXPECT_EQ(select->ColumnDeclaredType(0), "INTEGER");
  ASSERT_TRUE(select->Step());
  EXPECT_EQ(select->TypeOf(0), ColumnType::Null);
  EXPECT_FALSE(select->Step());
}

TEST_F(StorageInterfaceTest, TransactionRollsBackUnlessCommitted) {
  connection_->Exec("CREATE TABLE t (x)");
  {
    storage::Transaction transaction(*connection_);
    EXPECT_TRUE(connection_->InTransaction());
    connection_->Exec("INSERT INTO t VALUES (1)");
  }
  EXPECT_FALSE(connection_->InTransaction());
  EXPECT_EQ(Count("t"), 0);
  {
    storage::Transaction transaction(*connection_);
    connection_->Exec("INSERT INTO t VALUES (1)");
    transaction.Commit();
  }
  EXPECT_EQ(Count("t"), 1);
}

TEST_F(StorageInterfaceTest, SavepointsUndoTheirOwnPartAlone) {
  connection_->Exec("CREATE TABLE t (x)");
  connection_->Begin(storage::TransactionKind::Write);
  connection_->Exec("INSERT INTO t VALUES (1)");
  connection_->Savepoint("level \"2\"");  // names are quoted, whatever they hold
  connection_->Exec("INSERT INTO t VALUES (2)");
  connection_->RollbackToSavepoint("level \"2\"");
  connection_->ReleaseSavepoint("level \"2\"");
  EXPECT_TRUE(connection_->InTransaction());
  connection_->Commit();
  EXPECT_EQ(Count("t"), 1);
  // Ending what was never begun answers DAO's "no transaction" number, by SQLite's code.
  EXPECT_EQ(DaoNumberOf([&] { connection_->Commit(); }), 3034);
  EXPECT_EQ(DaoNumberOf([&] { connection_->ReleaseSavepoint("none"); }), 3034);
}

TEST_F(StorageInterfaceTest, ReadScopeJoinsAnOpenTransactionInsteadOfEndingIt) {
  connection_->Exec("CREATE TABLE t (x)");
  {
    storage::ReadScope scope(*connection_);
    EXPECT_TRUE(connection_->InTransaction());
    scope.End();
    EXPECT_FALSE(connection_->InTransaction());
  }
  connection_->Begin(storage::TransactionKind::Write);
  connection_->Exec("INSERT INTO t VALUES (1)");
  {
    storage::ReadScope scope(*connection_);
    scope.End();
  }
  EXPECT_TRUE(connection_->InTransaction());
  connection_->Commit();
  EXPECT_EQ(Count("t"), 1);
}

TEST_F(StorageInterfaceTest, ChangeCountersTellWhoseCommitMovedThem) {
  connection_->Exec("CREATE TABLE t (x)");
  SqliteConnection other(PathOf("a.db"), OpenMode::ReadWrite);
  storage::CatalogueReader& catalogue = connection_->Catalogue();
  const uint32_t changes = connection_->ChangeCounter();
  const int64_t others = catalogue.OthersChangeCounter();
  connection_->Exec("INSERT INTO t VALUES (1)");
  // Its own commit moves the change counter but not the count of others' commits.
  EXPECT_NE(connection_->ChangeCounter(), changes);
  EXPECT_EQ(catalogue.OthersChangeCounter(), others);
  other.Exec("INSERT INTO t VALUES (2)");
  EXPECT_NE(catalogue.OthersChangeCounter(), others);
  const int64_t schema = catalogue.SchemaVersion();
  other.Exec("CREATE TABLE u (y)");
  EXPECT_NE(catalogue.SchemaVersion(), schema);
}

TEST_F(StorageInterfaceTest, CatalogueReaderDescribesTablesAsDeclared) {
  connection_->Exec(
      "CREATE TABLE Person (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(50) COLLATE NOCASE NOT NULL, "
      "Code TEXT, Born DATETIME DEFAULT '2000-01-01 00:00:00.000')");
  connection_->Exec("CREATE INDEX \"Person.ByName\" ON Person (Name DESC, Born)");
  connection_->Exec("CREATE TABLE Pair (A INT, B VARCHAR(10), PRIMARY KEY (A, B)) WITHOUT ROWID");
  connection_->Exec("CREATE TABLE Loose (ID INT PRIMARY KEY, P INTEGER REFERENCES Person (ID))");
  storage::CatalogueReader& catalogue = connection_->Catalogue();

  // Creation order; SQLite's own sqlite_sequence stays out.
  EXPECT_EQ(catalogue.TableNames(), (std::vector<std::string>{"Person", "Pair", "Loose"}));

  TableInfo person;
  ASSERT_TRUE(catalogue.ReadTable("Person", person));
  ASSERT_EQ(person.columns.size(), 4u);
  EXPECT_EQ(person.rowKey, "ID");
  EXPECT_TRUE(person.autoIncrement);
  EXPECT_TRUE(person.columns[0].isRowKey);
  EXPECT_EQ(person.columns[0].type.type, dbLong);
  EXPECT_NE(person.columns[0].type.attributes & dbAutoIncrField, 0);
  EXPECT_TRUE(person.columns[1].required);
  EXPECT_EQ(person.columns[1].type.type, dbText);
  EXPECT_EQ(person.columns[1].type.size, 50);
  EXPECT_TRUE(person.columns[1].noCase);
  EXPECT_FALSE(person.columns[2].noCase);  // TEXT without NOCASE compares as stored
  EXPECT_EQ(person.columns[3].type.type, dbDate);
  EXPECT_EQ(person.columns[3].sqliteDefault, "'2000-01-01 00:00:00.000'");
  EXPECT_EQ(person.columns[3].defaultValue, "#1/1/2000#");
  ASSERT_EQ(person.indexes.size(), 1u);  // the row key has no index of its own
  EXPECT_EQ(person.indexes[0].name, "ByName");
  EXPECT_EQ(person.indexes[0].sqliteName, "Person.ByName");
  ASSERT_EQ(person.indexes[0].fields.size(), 2u);
  EXPECT_TRUE(person.indexes[0].fields[0].descending);
  EXPECT_EQ(person.indexes[0].fields[1].name, "Born");

  TableInfo pair;
  ASSERT_TRUE(catalogue.ReadTable("Pair", pair));
  EXPECT_TRUE(pair.withoutRowId);
  EXPECT_EQ(pair.rowKey, "");
  ASSERT_EQ(pair.indexes.size(), 1u);
  // A key declared in the table: primary, and named by the catalogue's bookkeeping.
  EXPECT_TRUE(pair.indexes[0].primary);
  EXPECT_TRUE(pair.indexes[0].unique);
  EXPECT_EQ(pair.indexes[0].name, "");
  EXPECT_EQ(pair.indexes[0].fields.size(), 2u);

  TableInfo loose;
  ASSERT_TRUE(catalogue.ReadTable("Loose", loose));
  EXPECT_EQ(loose.rowKey, "rowid");  // INT is no alias of the row id
  EXPECT_FALSE(loose.columns[0].isRowKey);

  TableInfo none;
  EXPECT_FALSE(catalogue.ReadTable("Nobody", none));

  std::vector<RelationInfo> relations = catalogue.DeclaredRelations("Loose");
  ASSERT_EQ(relations.size(), 1u);
  EXPECT_EQ(relations[0].name, "PersonLoose");
  EXPECT_EQ(relations[0].table, "Person");
  EXPECT_EQ(relations[0].foreignTable, "Loose");
  EXPECT_EQ(relations[0].fields, (std::vector<std::string>{"ID"}));
  EXPECT_EQ(relations[0].foreignFields, (std::vector<std::string>{"P"}));
  EXPECT_TRUE(relations[0].declared);
  EXPECT_TRUE(catalogue.DeclaredRelations("Person").empty());
  EXPECT_EQ(catalogue.ColumnCollation("Person", "Name"), "NOCASE");
  EXPECT_EQ(catalogue.ColumnCollation("Person", "Nobody"), "");
}

TEST_F(StorageInterfaceTest, MovedConnectionReadsItsCatalogueAfresh) {
  sqlite_->Exec("CREATE TABLE t (x)");
  EXPECT_EQ(sqlite_->Catalogue().TableNames().size(), 1u);
  SqliteConnection moved(std::move(*sqlite_));
  EXPECT_EQ(moved.Catalogue().TableNames(), (std::vector<std::string>{"t"}));
  sqlite_.reset();
  connection_ = nullptr;
}

TEST_F(StorageInterfaceTest, FailuresMapThroughTheConnectionsErrorMapper) {
  connection_->Exec("CREATE TABLE t (x UNIQUE)");
  connection_->Exec("INSERT INTO t VALUES (1)");
  EXPECT_EQ(DaoNumberOf([&] { connection_->Exec("INSERT INTO t VALUES (1)"); }), 3022);
  EXPECT_EQ(DaoNumberOf([&] { connection_->Prepare("SELECT * FROM nowhere"); }), 3078);
  const storage::ErrorMapper& mapper = connection_->Errors();
  storage::ErrorContext ddl;
  ddl.ddl = true;
  EXPECT_EQ(mapper.Map(1, "no such table: nowhere", ddl).number, 3376);
  DaoErrorInfo unknown = mapper.Map(1, "no such column: Which user?", {});
  EXPECT_EQ(unknown.number, 3061);
  EXPECT_EQ(unknown.unknownName, "Which user?");
  EXPECT_EQ(mapper.Map(1, "no such table: t", {}).unknownName, "");
}

}  // namespace
}  // namespace lumo::jet

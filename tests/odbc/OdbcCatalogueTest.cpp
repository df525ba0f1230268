// The catalogue of the test cluster as the ODBC back-end reads it: tables psql made, their
// columns with DAO types, defaults and Required, their indexes and primary keys, the foreign
// keys they declare, and the schema version that moves with every change psql makes.

#include <gtest/gtest.h>

#include <sqlext.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "jet/DaoConstants.h"
#include "jet/odbc/OdbcCatalogueReader.h"
#include "jet/odbc/OdbcConnection.h"
#include "jet/odbc/OdbcDialect.h"
#include "runtime/StrUtils.h"
#include "tests/odbc/OdbcTestSupport.h"

namespace lumo::jet::odbc {
namespace {

using testing::Cluster;
using testing::Psql;
using testing::TestTable;

TEST(OdbcTypes, ServerColumnsGetTheirDaoTypes) {
  EXPECT_EQ(DaoTypeOfColumn(SQL_INTEGER, "int4", 10, 0, false).type, dbLong);
  EXPECT_EQ(DaoTypeOfColumn(SQL_INTEGER, "int4", 10, 0, true).attributes & dbAutoIncrField, dbAutoIncrField);
  EXPECT_EQ(DaoTypeOfColumn(SQL_VARCHAR, "bool", 5, 0, false).type, dbBoolean) << "Booleans sent as characters";
  EXPECT_EQ(DaoTypeOfColumn(SQL_SMALLINT, "int2", 5, 0, false).type, dbInteger);
  EXPECT_EQ(DaoTypeOfColumn(SQL_BIGINT, "int8", 19, 0, false).type, dbBigInt);
  EXPECT_EQ(DaoTypeOfColumn(SQL_REAL, "float4", 7, 0, false).type, dbSingle);
  EXPECT_EQ(DaoTypeOfColumn(SQL_FLOAT, "float8", 15, 0, false).type, dbDouble);
  EXPECT_EQ(DaoTypeOfColumn(SQL_NUMERIC, "numeric", 19, 4, false).type, dbCurrency);
  const JetFieldType decimal = DaoTypeOfColumn(SQL_NUMERIC, "numeric", 10, 2, false);
  EXPECT_EQ(decimal.type, dbDecimal);
  EXPECT_EQ(decimal.precision, 10);
  EXPECT_EQ(decimal.scale, 2);
  EXPECT_EQ(DaoTypeOfColumn(SQL_TYPE_TIMESTAMP, "timestamp", 26, 3, false).type, dbDate);
  const JetFieldType text = DaoTypeOfColumn(SQL_WVARCHAR, "varchar", 50, 0, false);
  EXPECT_EQ(text.type, dbText);
  EXPECT_EQ(text.size, 50);
  EXPECT_EQ(DaoTypeOfColumn(SQL_WVARCHAR, "varchar", 256, 0, false).type, dbMemo) << "beyond Text's 255";
  EXPECT_EQ(DaoTypeOfColumn(SQL_WLONGVARCHAR, "text", 8190, 0, false).type, dbMemo);
  EXPECT_EQ(DaoTypeOfColumn(SQL_LONGVARBINARY, "bytea", 0, 0, false).type, dbLongBinary);
  EXPECT_EQ(DaoTypeOfColumn(SQL_VARCHAR, "uuid", 37, 0, false).type, dbGUID);
  EXPECT_EQ(DaoTypeOfColumn(SQL_GUID, "uuid", 37, 0, false).type, dbGUID);
}

TEST(OdbcDialectTypes, DeclaredTypesReadBackAsTheirDaoTypes) {
  const storage::SqlDialect& dialect = PostgresDialect();
  EXPECT_EQ(dialect.ColumnType(JetFieldType{dbText, 50, dbVariableField}, false), "varchar(50)");
  EXPECT_EQ(dialect.ColumnType(DefaultFieldType(dbCurrency), false), "numeric(19,4)");
  JetFieldType counter = DefaultFieldType(dbLong);
  counter.attributes |= dbAutoIncrField;
  EXPECT_EQ(dialect.ColumnType(counter, true), "serial");
  EXPECT_EQ(dialect.IndexName("Logon", "ByUser"), "Logon.ByUser");
  EXPECT_EQ(JetIndexNameOf("logon.ByUser", "Logon"), "ByUser");
  EXPECT_EQ(JetIndexNameOf("logon_pkey", "Logon"), "logon_pkey");
}

TEST(OdbcDefaults, ServerDefaultsInJetText) {
  EXPECT_EQ(JetDefaultOf("0"), "0");
  EXPECT_EQ(JetDefaultOf("(-1)"), "-1");
  EXPECT_EQ(JetDefaultOf("2.5::double precision"), "2.5");
  EXPECT_EQ(JetDefaultOf("'it''s \"x\"'::character varying"), "\"it's \"\"x\"\"\"");
  EXPECT_EQ(JetDefaultOf("now()"), "Now()");
  EXPECT_EQ(JetDefaultOf("CURRENT_TIMESTAMP"), "Now()");
  EXPECT_EQ(JetDefaultOf("CURRENT_DATE"), "Date()");
  EXPECT_EQ(JetDefaultOf("true"), "True");
  EXPECT_EQ(JetDefaultOf("'2024-01-15 00:00:00'::timestamp without time zone"), "#2024-01-15 00:00:00#");
  EXPECT_EQ(JetDefaultOf("nextval('t_id_seq'::regclass)"), "");
  EXPECT_EQ(JetDefaultOf("'unterminated"), "");
}

class OdbcCatalogueTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LUMO_REQUIRE_CLUSTER();
    table_ = TestTable();
    parent_ = table_ + "_p";
    ASSERT_EQ(Psql("DROP TABLE IF EXISTS \"" + table_ + "\", " + parent_ + " CASCADE").status, 0);
    connection_ = std::make_unique<OdbcConnection>(Cluster().Connect(), false, 0);
  }

  std::string table_;
  std::string parent_;
  std::unique_ptr<OdbcConnection> connection_;
};

TEST_F(OdbcCatalogueTest, TablesPsqlMadeAreListedWithTheirSchema) {
  // A mixed-case name with an underscore, which catalogue patterns would take for a wildcard.
  const std::string name = "odbc_Catalogue_Mixed";
  ASSERT_EQ(Psql("DROP TABLE IF EXISTS \"" + name + "\"; CREATE TABLE " + parent_ +
                 " (code varchar(10) PRIMARY KEY); CREATE TABLE \"" + name +
                 "\" (id serial PRIMARY KEY, code varchar(10) NOT NULL REFERENCES " + parent_ +
                 " ON DELETE CASCADE, amount numeric(19,4) DEFAULT 0, noted timestamp DEFAULT now(), "
                 "memo text DEFAULT 'none', done boolean NOT NULL DEFAULT false); "
                 "CREATE UNIQUE INDEX " +
                 "odbc_catalogue_code ON \"" + name +
                 "\" (code, noted DESC); "
                 "CREATE INDEX " +
                 "odbc_catalogue_amount ON \"" + name + "\" (amount)")
                .status,
            0);
  storage::CatalogueReader& reader = connection_->Catalogue();
  const std::vector<std::string> names = reader.TableNames();
  EXPECT_NE(std::find(names.begin(), names.end(), name), names.end());
  EXPECT_NE(std::find(names.begin(), names.end(), parent_), names.end());

  TableInfo table;
  ASSERT_TRUE(reader.ReadTable(UpperCaseAscii(name), table)) << "names are found without regard to case";
  EXPECT_EQ(table.name, name);
  EXPECT_TRUE(table.withoutRowId);
  ASSERT_EQ(table.columns.size(), 6U);
  const auto column = [&](const char* columnName) {
    const ColumnInfo* info = table.FindColumn(columnName);
    EXPECT_NE(info, nullptr) << columnName;
    return info != nullptr ? *info : ColumnInfo{};
  };
  EXPECT_EQ(table.columns[0].name, "id");
  EXPECT_EQ(column("id").type.type, dbLong);
  EXPECT_EQ(column("id").type.attributes & dbAutoIncrField, dbAutoIncrField);
  EXPECT_TRUE(column("id").defaultValue.empty());
  EXPECT_EQ(column("code").type, (JetFieldType{dbText, 10, dbVariableField}));
  EXPECT_TRUE(column("code").required);
  EXPECT_EQ(column("amount").type.type, dbCurrency);
  EXPECT_EQ(column("amount").defaultValue, "0");
  EXPECT_FALSE(column("amount").required);
  EXPECT_EQ(column("noted").type.type, dbDate);
  EXPECT_EQ(column("noted").defaultValue, "Now()");
  EXPECT_EQ(column("memo").type.type, dbMemo);
  EXPECT_EQ(column("memo").defaultValue, "\"none\"");
  EXPECT_EQ(column("done").type.type, dbBoolean);
  EXPECT_EQ(column("done").defaultValue, "False");
  EXPECT_EQ(column("done").ordinal, 5);

  const IndexInfo* primary = table.PrimaryIndex();
  ASSERT_NE(primary, nullptr);
  EXPECT_TRUE(primary->unique);
  ASSERT_EQ(primary->fields.size(), 1U);
  EXPECT_EQ(primary->fields[0].name, "id");
  const IndexInfo* code = table.FindIndex("odbc_catalogue_code");
  ASSERT_NE(code, nullptr);
  EXPECT_TRUE(code->unique);
  EXPECT_FALSE(code->primary);
  ASSERT_EQ(code->fields.size(), 2U);
  EXPECT_EQ(code->fields[0].name, "code");
  EXPECT_FALSE(code->fields[0].descending);
  EXPECT_EQ(code->fields[1].name, "noted");
  EXPECT_TRUE(code->fields[1].descending);
  const IndexInfo* amount = table.FindIndex("odbc_catalogue_amount");
  ASSERT_NE(amount, nullptr);
  EXPECT_FALSE(amount->unique);

  const std::vector<RelationInfo> relations = reader.DeclaredRelations(name);
  ASSERT_EQ(relations.size(), 1U);
  EXPECT_EQ(relations[0].table, parent_);
  EXPECT_EQ(relations[0].foreignTable, name);
  EXPECT_EQ(relations[0].fields, std::vector<std::string>{"code"});
  EXPECT_EQ(relations[0].foreignFields, std::vector<std::string>{"code"});
  EXPECT_TRUE(relations[0].declared);
  EXPECT_EQ(relations[0].attributes, dbRelationDeleteCascade);
  EXPECT_TRUE(reader.DeclaredRelations(parent_).empty());

  EXPECT_EQ(reader.ColumnCollation(name, "code"), "BINARY");
  EXPECT_EQ(reader.ColumnCollation(name, "nothing"), "");
  EXPECT_FALSE(reader.ReadTable(name + "_gone", table));
  ASSERT_EQ(Psql("DROP TABLE \"" + name + "\"").status, 0);
}

TEST_F(OdbcCatalogueTest, SchemaVersionMovesWithEveryChangeFromAnySession) {
  storage::CatalogueReader& reader = connection_->Catalogue();
  int64_t version = reader.SchemaVersion();
  EXPECT_EQ(reader.SchemaVersion(), version) << "moved without a change";
  const std::vector<std::string> changes = {
      "CREATE TABLE " + table_ + " (id integer)",
      "ALTER TABLE " + table_ + " ADD COLUMN name text",
      "ALTER TABLE " + table_ + " ALTER COLUMN name SET NOT NULL",
      "CREATE INDEX " + table_ + "_name ON " + table_ + " (name)",
      "ALTER TABLE " + table_ + " ADD PRIMARY KEY (id)",
      "DROP TABLE " + table_,
  };
  for (const std::string& change : changes) {
    ASSERT_EQ(Psql(change).status, 0) << change;
    const int64_t now = reader.SchemaVersion();
    EXPECT_NE(now, version) << "unseen: " << change;
    version = now;
  }
  // Rows are no schema change.
  ASSERT_EQ(Psql("CREATE TABLE " + table_ + " (id integer)").status, 0);
  version = reader.SchemaVersion();
  ASSERT_EQ(Psql("INSERT INTO " + table_ + " VALUES (1)").status, 0);
  EXPECT_EQ(reader.SchemaVersion(), version);
}

TEST_F(OdbcCatalogueTest, ColumnsDeclaredByTheDialectReadBackAsDeclared) {
  const storage::SqlDialect& dialect = connection_->Dialect();
  std::vector<JetFieldType> types;
  for (int type : {dbBoolean, dbInteger, dbLong, dbBigInt, dbCurrency, dbSingle, dbDouble, dbDate, dbText, dbMemo,
                   dbLongBinary, dbGUID}) {
    types.push_back(DefaultFieldType(type));
  }
  types[8].size = 42;
  std::string sql = "CREATE TABLE " + table_ + " (";
  for (size_t i = 0; i < types.size(); ++i) {
    sql += (i ? ", c" : "c") + std::to_string(i) + " " + dialect.ColumnType(types[i], false);
  }
  ASSERT_EQ(Psql(sql + ")").status, 0) << sql;
  TableInfo table;
  ASSERT_TRUE(connection_->Catalogue().ReadTable(table_, table));
  ASSERT_EQ(table.columns.size(), types.size());
  for (size_t i = 0; i < types.size(); ++i) {
    EXPECT_EQ(table.columns[i].type.type, types[i].type) << dialect.ColumnType(types[i], false);
  }
  EXPECT_EQ(table.columns[8].type.size, 42);
}

TEST_F(OdbcCatalogueTest, ATableWithoutPrimaryKeyHasNone) {
  ASSERT_EQ(Psql("CREATE TABLE " + table_ + " (a integer, b varchar(255))").status, 0);
  TableInfo table;
  ASSERT_TRUE(connection_->Catalogue().ReadTable(table_, table));
  EXPECT_EQ(table.PrimaryIndex(), nullptr);
  EXPECT_TRUE(table.indexes.empty());
  EXPECT_EQ(table.FindColumn("b")->type.size, 255);
  EXPECT_EQ(connection_->RowIdentityOf(table), nullptr);
}

}  // namespace
}  // namespace lumo::jet::odbc

// The translator writes what back-ends differ in through the dialect it is given; the file
// back-end's row identity and row writer against a real file.

#include "jet/storage/SqlDialect.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "jet/Catalogue.h"
#include "jet/DaoConstants.h"
#include "jet/DatabaseFile.h"
#include "jet/sql/JetSqlTranslator.h"
#include "jet/storage/RowIdentity.h"
#include "jet/storage/RowWriter.h"
#include "tests/jet/EngineTestSupport.h"

namespace lumo::jet {
namespace {

// A back-end unlike the file back-end in every point the dialect covers.
class OtherDialect final : public storage::SqlDialect {
 public:
  std::string_view RowIdName() const override { return "row_key"; }
  std::string Limit(std::string_view count) const override {
    return " FETCH FIRST " + std::string(count) + " ROWS ONLY";
  }
  std::string LimitOffset(std::string_view count, std::string_view offset) const override {
    return " OFFSET " + std::string(offset) + " ROWS FETCH FIRST " + std::string(count) + " ROWS ONLY";
  }
  std::string FunctionName(std::string_view backEndName) const override { return "lumo." + std::string(backEndName); }
  std::string CounterSeed(std::string_view tableLiteral, int64_t seed) const override {
    return "SELECT set_counter(" + std::string(tableLiteral) + ", " + std::to_string(seed) + ")";
  }
  std::string_view InsertionOrder() const override { return " ORDER BY row_key"; }
  std::string_view InsertSkippingConflicts() const override { return "INSERT INTO "; }
  std::string_view UpdateSkippingConflicts() const override { return "UPDATE "; }
  std::string_view JetTextCollation() const override { return " COLLATE \"jet-case\""; }
  std::string ColumnType(const JetFieldType& type, bool) const override {
    return type.type == dbText ? "CHARACTER VARYING(" + std::to_string(type.size) + ")" : DeclaredTypeName(type);
  }
  std::string IndexName(std::string_view table, std::string_view index) const override {
    return std::string(table) + "_" + std::string(index);
  }
};

std::string OnOther(const std::string& jet) {
  static const OtherDialect other;
  TranslateOptions options;
  options.dialect = &other;
  return TranslateStatement(jet, options).sql;
}

TEST(SqlDialectTest, EmitterTakesTheFormsBackEndsDifferInFromTheDialect) {
  EXPECT_EQ(OnOther("SELECT TOP 5 * FROM t"), "SELECT * FROM \"t\" FETCH FIRST 5 ROWS ONLY");
  EXPECT_EQ(OnOther("SELECT DISTINCTROW c.name FROM c INNER JOIN o ON c.id = o.cid"),
            "SELECT \"c\".\"name\" FROM \"c\" INNER JOIN \"o\" ON \"c\".\"id\" = \"o\".\"cid\" GROUP BY \"c\".row_key");
  EXPECT_EQ(OnOther("DELETE t.* FROM t INNER JOIN u ON t.a = u.a WHERE u.b = 2"),
            "DELETE FROM \"t\" WHERE row_key IN (SELECT \"t\".row_key FROM \"t\" INNER JOIN \"u\" ON \"t\".\"a\" = "
            "\"u\".\"a\" WHERE \"u\".\"b\" = 2)");
  // The engine's own functions and the SQL built-ins alike.
  const std::string functions = OnOther("SELECT UCase(a), Len(a), Count(*) FROM t");
  EXPECT_NE(functions.find("lumo.jet_ucase("), std::string::npos) << functions;
  EXPECT_NE(functions.find("lumo.length("), std::string::npos) << functions;
  EXPECT_NE(functions.find("lumo.count(*)"), std::string::npos) << functions;
  const std::string seeded = OnOther("CREATE TABLE s (ID COUNTER(100, 1), Name TEXT(10))");
  EXPECT_NE(seeded.find("SELECT set_counter('s', 100)"), std::string::npos) << seeded;
  EXPECT_EQ(seeded.find("sqlite_sequence"), std::string::npos) << seeded;
  // Text sorts and compares by Jet's rule through the dialect's collation.
  const std::string sorted = OnOther("SELECT a FROM t ORDER BY UCase(a)");
  EXPECT_NE(sorted.find("ORDER BY lumo.jet_ucase(\"a\") COLLATE \"jet-case\""), std::string::npos) << sorted;
  EXPECT_EQ(sorted.find("jet_text"), std::string::npos) << sorted;
  // Declared types and index names as the back-end stores them.
  const std::string created = OnOther("CREATE TABLE p (Name TEXT(30), Born DATETIME)");
  EXPECT_NE(created.find("\"Name\" CHARACTER VARYING(30), \"Born\" DATETIME"), std::string::npos) << created;
  EXPECT_EQ(created.find("NOCASE"), std::string::npos) << created;
  const std::string indexed = OnOther("CREATE UNIQUE INDEX ByName ON p (Name)");
  EXPECT_NE(indexed.find("CREATE UNIQUE INDEX \"p_ByName\" ON \"p\" (\"Name\")"), std::string::npos) << indexed;
  const std::string dropped = OnOther("DROP INDEX ByName ON p");
  EXPECT_NE(dropped.find("DROP INDEX \"p_ByName\""), std::string::npos) << dropped;
}

TEST(SqlDialectTest, WithoutADialectTheFileBackEndsIsUsed) {
  TranslateOptions options;
  const std::string plain = TranslateStatement("SELECT TOP 5 * FROM t", options).sql;
  options.dialect = &storage::DefaultSqlDialect();
  EXPECT_EQ(TranslateStatement("SELECT TOP 5 * FROM t", options).sql, plain);
  EXPECT_EQ(plain, "SELECT * FROM \"t\" LIMIT 5");
  const std::string seeded = TranslateStatement("CREATE TABLE s (ID COUNTER(100, 1))", options).sql;
  // AUTOINCREMENT continues after the value recorded, so 99 makes the next one 100.
  EXPECT_NE(seeded.find("INSERT INTO sqlite_sequence (name, seq) VALUES ('s', 99)"), std::string::npos) << seeded;
}

class FileRowsTest : public testing::TempFolderTest {
 protected:
  void SetUp() override {
    TempFolderTest::SetUp();
    file_ = DatabaseFile::Create(PathOf("rows.mdb"), dbLangGeneral, 0);
    file_->Connection().Exec("CREATE TABLE t (ID INTEGER PRIMARY KEY AUTOINCREMENT, Name VARCHAR(20), Born DATETIME)");
  }
  std::string Shell(const std::string& sql) { return testing::StockShell(PathOf("rows.mdb"), sql); }

  std::shared_ptr<DatabaseFile> file_;
};

TEST_F(FileRowsTest, RowIdentityReadsAListOfKeysWithOneStatement) {
  file_->Connection().Exec("INSERT INTO t (ID, Name) VALUES (3, 'c'), (7, 'g'), (12, 'l'), (20, 't')");
  auto identity = storage::FileRowIdentity();
  ASSERT_TRUE(identity->HasRowKey());
  const std::vector<int64_t> keys{20, 3, 99, 12};
  EXPECT_EQ(identity->KeyListValue(keys), "[20,3,99,12]");
  EXPECT_EQ(identity->KeyListValue({}), "[]");
  auto& statement = file_->Statement("SELECT group_concat(Name, '') FROM (SELECT Name FROM t WHERE " +
                                     identity->InKeyList(1) + " ORDER BY " + identity->KeyExpression() + ")");
  statement.BindText(1, identity->KeyListValue(keys));
  ASSERT_TRUE(statement.Step());
  EXPECT_EQ(statement.ColumnText(0), "clt");  // 99 names no row
  statement.Reset();
}

TEST_F(FileRowsTest, ConnectionHandsOutItsDialectAndTheRowIdentityOfEachTable) {
  file_->Connection().Exec("CREATE TABLE kv (k TEXT PRIMARY KEY, v INTEGER) WITHOUT ROWID");
  EXPECT_EQ(&file_->Connection().Dialect(), &storage::DefaultSqlDialect());
  const TableInfo* rows = file_->Schema().FindTable("t");
  const TableInfo* keyed = file_->Schema().FindTable("kv");
  ASSERT_TRUE(rows != nullptr && keyed != nullptr);
  auto identity = file_->Connection().RowIdentityOf(*rows);
  ASSERT_NE(identity, nullptr);
  EXPECT_EQ(identity->KeyExpression(), "rowid");
  EXPECT_EQ(file_->Connection().RowIdentityOf(*keyed), nullptr);
}

TEST_F(FileRowsTest, RowWriterInsertsUpdatesAndDeletesByKey) {
  auto writer = file_->RowWriter();
  const storage::RowTarget target{"t", nullptr};
  const std::string nameColumn = "Name";
  const std::string bornColumn = "Born";
  const JetFieldType text{dbText, 20, 0};
  const JetFieldType date{dbDate, 8, 0};
  Variant name("Ann");
  Variant born(Variant::FromDate(45000.5));
  const storage::FieldWrite fields[] = {{&nameColumn, &name, &text, &nameColumn},
                                        {&bornColumn, &born, &date, &bornColumn}};
  const std::optional<int64_t> first = writer->Insert(target, fields);
  const std::optional<int64_t> second = writer->Insert(target, {});
  ASSERT_TRUE(first && second);
  EXPECT_EQ(*second, *first + 1);
  EXPECT_EQ(Shell("SELECT ID, Name, Born FROM t ORDER BY ID"),
            std::to_string(*first) + "|Ann|2023-03-15 12:00:00.000\n" + std::to_string(*second) + "||\n");

  Variant renamed("Bea");
  const storage::FieldWrite rename[] = {{&nameColumn, &renamed, &text, &nameColumn}};
  EXPECT_TRUE(writer->Update(target, *second, rename));
  EXPECT_FALSE(writer->Update(target, *second + 100, rename));
  EXPECT_EQ(Shell("SELECT group_concat(Name) FROM t"), "Ann,Bea\n");

  EXPECT_TRUE(writer->Delete(target, *first));
  EXPECT_FALSE(writer->Delete(target, *first));
  EXPECT_EQ(Shell("SELECT ID FROM t"), std::to_string(*second) + "\n");

  // A value the field cannot take is refused before anything is written.
  Variant tooLong(std::string(21, 'x'));
  const storage::FieldWrite bad[] = {{&nameColumn, &tooLong, &text, &nameColumn}};
  EXPECT_EQ(testing::DaoNumberOf([&] { writer->Update(target, *second, bad); }), 3163);
  EXPECT_EQ(Shell("SELECT Name FROM t"), "Bea\n");
}

}  // namespace
}  // namespace lumo::jet

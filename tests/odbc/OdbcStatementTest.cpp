// Statements of the ODBC back-end on the test cluster: numbered parameters, every kind of
// value the engine stores written and read back, checked against psql both ways.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "jet/odbc/OdbcConnection.h"
#include "jet/odbc/OdbcStatement.h"
#include "tests/jet/EngineTestSupport.h"
#include "tests/odbc/OdbcTestSupport.h"

namespace lumo::jet::odbc {
namespace {

using testing::Cluster;
using testing::DaoNumberOf;
using testing::Psql;
using testing::TestTable;

TEST(OdbcMarkers, NumberedParametersBecomePlainMarkers) {
  const MarkerPlan plan = PlanMarkers("SELECT ?2, ?1, ?1, '?3 it''s', \"?4\" -- ?5\n, ?");
  EXPECT_EQ(plan.sql, "SELECT ?, ?, ?, '?3 it''s', \"?4\" -- ?5\n, ?");
  EXPECT_EQ(plan.parameterOfMarker, (std::vector<int>{2, 1, 1, 3}));
  EXPECT_EQ(plan.parameterCount, 3);
  EXPECT_EQ(PlanMarkers("SELECT 1").parameterCount, 0);
  EXPECT_EQ(PlanMarkers("x = ? AND y = ?").parameterOfMarker, (std::vector<int>{1, 2}));
}

class OdbcStatementTest : public ::testing::Test {
 protected:
  void SetUp() override {
    LUMO_REQUIRE_CLUSTER();
    table_ = TestTable();
    ASSERT_EQ(Psql("DROP TABLE IF EXISTS " + table_).status, 0);
    connection_ = std::make_unique<OdbcConnection>(Cluster().Connect(), false, 0);
  }

  std::string table_;
  std::unique_ptr<OdbcConnection> connection_;
};

// One column of each server type the engine's DAO types live in.
constexpr const char* kColumns =
    " (id integer PRIMARY KEY, yes boolean, small smallint, big bigint, amount numeric(19,4), single real, "
    "dbl double precision, stamp timestamp(3), day date, clock time, name varchar(50), memo text, bytes bytea, "
    "guid uuid)";

TEST_F(OdbcStatementTest, EveryKindOfValueRoundTrips) {
  ASSERT_EQ(Psql("CREATE TABLE " + table_ + kColumns).status, 0);
  const std::string name = "K\xC3\xB6ln \xE2\x80\x93 \xE6\x9D\xB1\xE4\xBA\xAC \xF0\x9F\x98\x80";  // Köln – 東京 😀
  std::string memo;
  for (int i = 0; memo.size() < 100000; ++i) memo += "line " + std::to_string(i) + " \xC3\xA4\n";
  std::vector<uint8_t> bytes;
  for (int i = 0; i < 256 * 40; ++i) bytes.push_back(static_cast<uint8_t>(i % 256));

  auto insert = connection_->Prepare("INSERT INTO " + table_ +
                                     " VALUES (?1, ?2::integer <> 0, ?3, ?4, ?5, ?6, ?7, ?8::timestamp, ?9::date, "
                                     "?10::time, ?11, ?12, ?13, ?14::uuid)");
  EXPECT_EQ(insert->ParameterCount(), 14);
  insert->BindInt64(1, 1);
  insert->BindInt64(2, -1);
  insert->BindInt64(3, -32768);
  insert->BindInt64(4, 9007199254740993);  // beyond a double's exact integers
  insert->BindText(5, "922337203685477.5807");
  insert->BindDouble(6, 1.5);
  insert->BindDouble(7, 3.141592653589793);
  insert->BindText(8, "2024-02-29 13:45:10.250");
  insert->BindText(9, "2024-02-29");
  insert->BindText(10, "13:45:10");
  insert->BindText(11, name);
  insert->BindTextInPlace(12, memo);
  insert->BindBlobInPlace(13, bytes.data(), bytes.size());
  insert->BindText(14, "0011aabb-ccdd-eeff-0011-223344556677");
  EXPECT_FALSE(insert->Step());
  EXPECT_EQ(connection_->Changes(), 1);
  // The same statement again, every value Null but the key.
  insert->Reset();
  insert->ClearBindings();
  insert->BindInt64(1, 2);
  EXPECT_FALSE(insert->Step());
  EXPECT_EQ(connection_->TotalChanges(), 2);

  // psql reads what the statement wrote.
  const auto seen = Psql(
      "SELECT yes, small, big, amount, single, dbl, stamp, day, clock, name, "
      "octet_length(convert_to(memo, 'UTF8')), left(memo, 8), length(bytes), "
      "encode(substring(bytes from 1 for 4), 'hex'), get_byte(bytes, 10239), guid FROM " +
      table_ + " WHERE id = 1");
  ASSERT_EQ(seen.status, 0);
  EXPECT_EQ(seen.output,
            "t|-32768|9007199254740993|922337203685477.5807|1.5|3.141592653589793|"
            "2024-02-29 13:45:10.25|2024-02-29|13:45:10|" +
                name + "|" + std::to_string(memo.size()) +
                "|line 0 \xC3\xA4|10240|00010203|255|0011aabb-ccdd-eeff-0011-223344556677\n");
  EXPECT_EQ(Psql("SELECT count(*) FROM " + table_ +
                 " WHERE id = 2 AND num_nulls(yes, small, big, amount, single, "
                 "dbl, stamp, day, clock, name, memo, bytes, guid) = 13")
                .output,
            "1\n");

  // The statement reads them back, each in the engine's form.
  auto select = connection_->Prepare(
      "SELECT yes, small, big, amount, single, dbl, stamp, day, clock, name, memo, "
      "bytes, guid FROM " +
      table_ + " WHERE id = ?1");
  select->BindInt64(1, 1);
  ASSERT_TRUE(select->Step());
  ASSERT_EQ(select->ColumnCount(), 13);
  EXPECT_EQ(select->ColumnName(9), "name");
  EXPECT_EQ(select->TypeOf(0), ColumnType::Integer);
  EXPECT_EQ(select->ColumnInt64(0), -1) << "True is stored as -1";
  EXPECT_EQ(select->ColumnInt64(1), -32768);
  EXPECT_EQ(select->ColumnInt64(2), 9007199254740993);
  EXPECT_EQ(select->TypeOf(3), ColumnType::Float);
  EXPECT_EQ(select->ColumnTextView(3), "922337203685477.5807") << "exact numbers keep their digits as text";
  EXPECT_DOUBLE_EQ(select->ColumnDouble(3), 922337203685477.5807);
  EXPECT_EQ(select->ColumnDouble(4), 1.5);
  EXPECT_EQ(select->ColumnDouble(5), 3.141592653589793);
  EXPECT_EQ(select->ColumnTextView(6), "2024-02-29 13:45:10.250");
  EXPECT_EQ(select->ColumnTextView(7), "2024-02-29 00:00:00.000");
  EXPECT_EQ(select->ColumnTextView(8), "1899-12-30 13:45:10.000");
  EXPECT_EQ(select->TypeOf(9), ColumnType::Text);
  EXPECT_EQ(select->ColumnTextView(9), name);
  EXPECT_EQ(select->ColumnText(10), memo);
  EXPECT_EQ(select->TypeOf(11), ColumnType::Blob);
  EXPECT_EQ(select->ColumnBlob(11), bytes);
  EXPECT_EQ(select->ColumnTextView(12), "{0011AABB-CCDD-EEFF-0011-223344556677}");
  EXPECT_FALSE(select->Step());

  select->Reset();
  select->BindInt64(1, 2);
  ASSERT_TRUE(select->Step());
  for (int column = 0; column < select->ColumnCount(); ++column) {
    EXPECT_EQ(select->TypeOf(column), ColumnType::Null) << select->ColumnName(column);
  }
}

TEST_F(OdbcStatementTest, RowsPsqlWroteReadWithoutSurprises) {
  ASSERT_EQ(Psql("CREATE TABLE " + table_ +
                 " (id integer PRIMARY KEY, name text, empty text, f boolean); "
                 "INSERT INTO " +
                 table_ + " SELECT g, 'row ' || g, '', g % 2 = 0 FROM generate_series(1, 2500) g")
                .status,
            0);
  auto scan = connection_->Prepare("SELECT id, name, empty, f FROM " + table_ + " ORDER BY id");
  int rows = 0;
  bool allMatch = true;
  while (scan->Step()) {
    ++rows;
    allMatch = allMatch && scan->ColumnInt64(0) == rows && scan->ColumnTextView(1) == "row " + std::to_string(rows) &&
               scan->TypeOf(2) == ColumnType::Text && scan->ColumnTextView(2).empty() &&
               scan->ColumnInt64(3) == (rows % 2 == 0 ? -1 : 0);
  }
  EXPECT_EQ(rows, 2500);
  EXPECT_TRUE(allMatch);
  EXPECT_TRUE(scan->IsReadOnly());
  // Numbers read as text, text read as numbers, as the engine's other back-end answers them.
  auto mixed = connection_->Prepare("SELECT 42, 2.5::float8, '17 apples', NULL::text");
  ASSERT_TRUE(mixed->Step());
  EXPECT_EQ(mixed->ColumnTextView(0), "42");
  EXPECT_EQ(mixed->ColumnText(1), "2.5");
  EXPECT_EQ(mixed->ColumnInt64(2), 17);
  EXPECT_EQ(mixed->ColumnTextView(3), "");
  EXPECT_FALSE(connection_->Prepare("DELETE FROM " + table_)->IsReadOnly());
}

TEST_F(OdbcStatementTest, FailuresRaiseAtTheCallThatMeetsThem) {
  ASSERT_EQ(Psql("CREATE TABLE " + table_ + " (id integer PRIMARY KEY)").status, 0);
  EXPECT_EQ(DaoNumberOf([&] { connection_->Prepare("SELECT * FROM " + table_ + "_none")->Step(); }),
            kDaoInputTableNotFound);
  auto insert = connection_->Prepare("INSERT INTO " + table_ + " VALUES (?1)");
  EXPECT_EQ(DaoNumberOf([&] { insert->BindInt64(2, 1); }), kDaoInvalidArgument);
  insert->BindInt64(1, 7);
  EXPECT_FALSE(insert->Step());
  insert->Reset();
  EXPECT_EQ(DaoNumberOf([&] { insert->Step(); }), kDaoDuplicateKey);
  // The statement is usable again after its failure.
  insert->Reset();
  insert->BindInt64(1, 8);
  EXPECT_FALSE(insert->Step());
  EXPECT_EQ(Psql("SELECT string_agg(id::text, ',' ORDER BY id) FROM " + table_).output, "7,8\n");
}

}  // namespace
}  // namespace lumo::jet::odbc

// Field types of Jet DDL and of declared SQLite types, and the stored forms of dates, GUIDs
// and index names; affinity checked on a real SQLite file.

#include "jet/JetTypes.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <stdlib.h>

#include <cmath>
#include <filesystem>
#include <string>

#include "jet/sqlite/SqliteTypes.h"

namespace lumo::jet {
namespace {

class JetTypesTest : public ::testing::Test {
 protected:
  void TearDown() override {
    if (db_ != nullptr) sqlite3_close(db_);
    if (!folder_.empty()) std::filesystem::remove_all(folder_);
  }

  sqlite3* Database() {
    if (db_ != nullptr) return db_;
    char pattern[] = "/tmp/lumo-jettypes-XXXXXX";
    EXPECT_NE(mkdtemp(pattern), nullptr);
    folder_ = pattern;
    EXPECT_EQ(sqlite3_open((folder_ / "types.db").c_str(), &db_), SQLITE_OK);
    return db_;
  }

  std::string Query(const std::string& sql) {
    sqlite3_stmt* stmt = nullptr;
    if (sqlite3_prepare_v2(Database(), sql.c_str(), -1, &stmt, nullptr) != SQLITE_OK) return sqlite3_errmsg(db_);
    std::string result;
    while (sqlite3_step(stmt) == SQLITE_ROW) {
      if (!result.empty()) result += ";";
      for (int c = 0; c < sqlite3_column_count(stmt); ++c) {
        if (c > 0) result += "|";
        const unsigned char* text = sqlite3_column_text(stmt, c);
        result += text ? reinterpret_cast<const char*>(text) : "NULL";
      }
    }
    sqlite3_finalize(stmt);
    return result;
  }

  std::filesystem::path folder_;
  sqlite3* db_ = nullptr;
};

TEST_F(JetTypesTest, EveryJetSynonymHasItsDaoTypeAndSize) {
  const struct {
    const char* name;
    int size;
    int type;
    int daoSize;
  } cases[] = {
      {"BIT", -1, dbBoolean, 1},
      {"yesno", -1, dbBoolean, 1},
      {"LOGICAL1", -1, dbBoolean, 1},
      {"BYTE", -1, dbByte, 1},
      {"INTEGER1", -1, dbByte, 1},
      {"SHORT", -1, dbInteger, 2},
      {"SMALLINT", -1, dbInteger, 2},
      {"INTEGER", -1, dbLong, 4},
      {"INT", -1, dbLong, 4},
      {"CURRENCY", -1, dbCurrency, 8},
      {"MONEY", -1, dbCurrency, 8},
      {"REAL", -1, dbSingle, 4},
      {"IEEESINGLE", -1, dbSingle, 4},
      {"FLOAT", -1, dbDouble, 8},
      {"NUMBER", -1, dbDouble, 8},
      {"DATE", -1, dbDate, 8},
      {"TIME", -1, dbDate, 8},
      {"TEXT", -1, dbText, 255},
      {"TEXT", 50, dbText, 50},
      {"NATIONAL  CHARACTER VARYING", 20, dbText, 20},
      {"ALPHANUMERIC", -1, dbText, 255},
      {"MEMO", -1, dbMemo, 0},
      {"NTEXT", -1, dbMemo, 0},
      {"BINARY", 16, dbBinary, 16},
      {"VARBINARY", -1, dbBinary, 255},
      {"IMAGE", -1, dbLongBinary, 0},
      {"GENERAL", -1, dbLongBinary, 0},
      {"UNIQUEIDENTIFIER", -1, dbGUID, 16},
      {"DEC", -1, dbDecimal, 16},
  };
  for (const auto& c : cases) {
    auto type = JetDdlType(c.name, c.size < 0 ? std::nullopt : std::optional<int>(c.size));
    ASSERT_TRUE(type.has_value()) << c.name;
    EXPECT_EQ(type->type, c.type) << c.name;
    EXPECT_EQ(type->size, c.daoSize) << c.name;
  }
  auto counter = JetDdlType("AutoIncrement");
  ASSERT_TRUE(counter.has_value());
  EXPECT_EQ(counter->type, dbLong);
  EXPECT_EQ(counter->attributes, dbFixedField | dbAutoIncrField);
  EXPECT_EQ(JetDdlType("TEXT", 10)->attributes, dbVariableField);
  auto decimal = JetDdlType("DECIMAL", 10, 2);
  EXPECT_EQ(decimal->precision, 10);
  EXPECT_EQ(decimal->scale, 2);
  EXPECT_EQ(JetDdlType("NUMERIC")->precision, 18);
}

TEST_F(JetTypesTest, ImpossibleJetTypesAreRefused) {
  EXPECT_FALSE(JetDdlType("TEXT", 0).has_value());
  EXPECT_FALSE(JetDdlType("TEXT", 256).has_value());
  EXPECT_FALSE(JetDdlType("LONG", 4).has_value());
  EXPECT_FALSE(JetDdlType("DECIMAL", 29).has_value());
  EXPECT_FALSE(JetDdlType("DECIMAL", 5, 6).has_value());
  EXPECT_FALSE(JetDdlType("TIMESTAMP").has_value());
  EXPECT_FALSE(JetDdlType("VARIANT").has_value());
  EXPECT_FALSE(JetDdlType("COUNTER", 1).has_value());
}

TEST_F(JetTypesTest, DeclaredTypesReadBackAsTheTypeTheyWereWrittenFor) {
  for (const char* name : {"BIT", "BYTE", "SHORT", "LONG", "CURRENCY", "SINGLE", "DOUBLE", "DATETIME", "TEXT", "MEMO",
                           "LONGBINARY", "GUID", "DECIMAL", "BINARY"}) {
    JetFieldType type = *JetDdlType(name);
    EXPECT_EQ(MapDeclaredType(SqliteColumnType(type)), type) << name << " as " << SqliteColumnType(type);
  }
  JetFieldType text = *JetDdlType("TEXT", 50);
  EXPECT_EQ(SqliteColumnType(text), "VARCHAR(50) COLLATE NOCASE");
  EXPECT_EQ(MapDeclaredType(SqliteColumnType(text)), text);
  JetFieldType counter = *JetDdlType("COUNTER");
  EXPECT_EQ(SqliteColumnType(counter), "INTEGER");
  EXPECT_EQ(MapDeclaredType("INTEGER", true), counter);
  EXPECT_EQ(SqliteColumnType(counter, false), "COUNTER");
  EXPECT_EQ(MapDeclaredType("COUNTER"), counter);
  EXPECT_EQ(SqliteColumnType(*JetDdlType("DECIMAL", 10, 2)), "DECIMAL(10,2)");
  EXPECT_EQ(MapDeclaredType("DECIMAL(10,2)"), *JetDdlType("DECIMAL", 10, 2));
}

TEST_F(JetTypesTest, ForeignDeclaredTypesGetSensibleDaoTypes) {
  const struct {
    const char* declared;
    int type;
    int size;
  } cases[] = {
      {"INT", dbLong, 4},
      {"BIGINT", dbBigInt, 8},
      {"UNSIGNED BIG INT", dbBigInt, 8},
      {"int2", dbInteger, 2},
      {"MEDIUMINT", dbLong, 4},
      {"REAL", dbDouble, 8},
      {"DOUBLE PRECISION", dbDouble, 8},
      {"FLOAT", dbDouble, 8},
      {"NUMERIC", dbDecimal, 16},
      {"NUM", dbDouble, 8},
      {"TEXT", dbMemo, 0},
      {"CLOB", dbMemo, 0},
      {"TEXT(40)", dbText, 40},
      {"VARCHAR(50)", dbText, 50},
      {"varchar ( 30 )", dbText, 30},
      {"NVARCHAR(4000)", dbMemo, 0},
      {"CHARACTER(20)", dbText, 20},
      {"VARCHAR", dbText, 255},
      {"BLOB", dbLongBinary, 0},
      {"", dbMemo, 0},
      {"BOOLEAN", dbBoolean, 1},
      {"DATE", dbDate, 8},
      {"TIMESTAMP", dbDate, 8},
      {"UUID", dbGUID, 16},
      {"VARBINARY(16)", dbBinary, 16},
      {"BINARY(1000)", dbLongBinary, 0},
      {"STRANGEINTTYPE", dbLong, 4},
      {"XMLCHARDATA", dbMemo, 0},
      {"MYBLOBTYPE", dbLongBinary, 0},
      {"JSON", dbDouble, 8},
      {"VARCHAR(", dbText, 255},
      {"TEXT COLLATE NOCASE", dbMemo, 0},
  };
  for (const auto& c : cases) {
    JetFieldType type = MapDeclaredType(c.declared);
    EXPECT_EQ(type.type, c.type) << "'" << c.declared << "'";
    EXPECT_EQ(type.size, c.size) << "'" << c.declared << "'";
  }
}

TEST_F(JetTypesTest, DeclaredTypesGiveSqliteTheRightAffinity) {
  std::string create = "CREATE TABLE t (";
  const char* names[] = {"BIT",    "BYTE",     "SHORT", "LONG", "CURRENCY", "SINGLE",
                         "DOUBLE", "DATETIME", "TEXT",  "MEMO", "GUID"};
  for (size_t i = 0; i < std::size(names); ++i) {
    if (i > 0) create += ", ";
    create += "c" + std::to_string(i) + " " + SqliteColumnType(*JetDdlType(names[i]));
  }
  ASSERT_EQ(Query(create + ")"), "");
  ASSERT_EQ(Query("INSERT INTO t VALUES (-1, '7', 3.0, '12', 1.5, 2, 3, '2026-12-08 09:05:07.000', '0012', 'abc', "
                  "'{12345678-90AB-CDEF-1234-567890ABCDEF}')"),
            "");
  EXPECT_EQ(Query("SELECT typeof(c0), typeof(c1), typeof(c2), typeof(c3), typeof(c4), typeof(c5), typeof(c6), "
                  "typeof(c7), typeof(c8), c8, typeof(c10) FROM t"),
            "integer|integer|integer|integer|real|real|real|text|text|0012|text");
  EXPECT_EQ(Query("SELECT count(*) FROM t WHERE c9 = 'ABC' AND c8 = '0012'"), "1");
}

TEST_F(JetTypesTest, DateDoublesAndCalendarPartsConvertBothWays) {
  const struct {
    double ole;
    const char* text;
  } cases[] = {
      {0.0, "1899-12-30 00:00:00.000"},
      {1.0, "1899-12-31 00:00:00.000"},
      {-1.25, "1899-12-29 06:00:00.000"},
      {2.5, "1900-01-01 12:00:00.000"},
      {46364.37855324074, "2026-12-08 09:05:07.000"},
      {-657434.0, "0100-01-01 00:00:00.000"},
      {2958465.99999999, "9999-12-31 23:59:59.999"},
      {36526.0 + 1.0 / 86400000.0 * 500, "2000-01-01 00:00:00.500"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(FormatStorageDate(c.ole), c.text) << c.ole;
    auto parts = ParseStorageDate(c.text);
    ASSERT_TRUE(parts.has_value()) << c.text;
    auto back = OleDateFromParts(*parts);
    ASSERT_TRUE(back.has_value());
    EXPECT_NEAR(*back, c.ole, 1e-8) << c.text;
  }
  // Every millisecond-exact value of a day survives the round trip through the text.
  for (int i = 0; i < 2000; ++i) {
    const double ole = 40000.0 + i * 0.0123456789;
    const std::string text = FormatStorageDate(ole);
    EXPECT_EQ(text.size(), 23u);
    EXPECT_EQ(FormatStorageDate(*OleDateFromParts(*ParseStorageDate(text))), text);
  }
  EXPECT_FALSE(OleDateFromParts({2026, 2, 29, 0, 0, 0, 0}).has_value());
  EXPECT_TRUE(OleDateFromParts({2024, 2, 29, 0, 0, 0, 0}).has_value());
  EXPECT_FALSE(OleDateFromParts({2026, 1, 1, 24, 0, 0, 0}).has_value());
  EXPECT_EQ(FormatStorageDate(std::nan("")), "1899-12-30 00:00:00.000");
}

TEST_F(JetTypesTest, StoredDatesAreReadStrictly) {
  for (const char* text :
       {"2026-12-08", "2026-12-08 09:05", "2026-12-08 09:05:07", "2026-12-08T09:05:07.5", "2026-12-08 09:05:07.123"}) {
    EXPECT_TRUE(ParseStorageDate(text).has_value()) << text;
  }
  EXPECT_EQ(ParseStorageDate("2026-12-08T09:05:07.5")->millisecond, 500);
  for (const char* text : {"", "2026-13-01", "2026-02-30", "2026-12-08 24:00", "2026-12-08 09:05:", "12/8/2026",
                           "2026-12-08 09:05:07.", "2026-12-08 09:05:07.12x", "20261208", "2026-12-08x"}) {
    EXPECT_FALSE(ParseStorageDate(text).has_value()) << text;
  }
}

TEST_F(JetTypesTest, GuidsAreStoredAsBracedUpperCaseText) {
  const std::array<uint8_t, 16> bytes = {0x78, 0x56, 0x34, 0x12, 0xAB, 0x90, 0xEF, 0xCD,
                                         0x12, 0x34, 0x56, 0x78, 0x90, 0xAB, 0xCD, 0xEF};
  EXPECT_EQ(FormatStorageGuid(bytes), "{12345678-90AB-CDEF-1234-567890ABCDEF}");
  EXPECT_EQ(ParseGuidText("{12345678-90ab-cdef-1234-567890abcdef}"), bytes);
  EXPECT_EQ(NormalizeGuidText("12345678-90ab-cdef-1234-567890abcdef"), "{12345678-90AB-CDEF-1234-567890ABCDEF}");
  for (const char* text : {"", "{12345678-90ab-cdef-1234-567890abcdef", "12345678x90ab-cdef-1234-567890abcdef",
                           "{12345678-90ab-cdef-1234-567890abcdeg}", "{12345678-90ab-cdef-1234-567890abcdef}}"}) {
    EXPECT_FALSE(ParseGuidText(text).has_value()) << text;
  }
}

TEST_F(JetTypesTest, IndexNamesBelongToTheirTable) {
  EXPECT_EQ(SqliteIndexName("Logon", "PrimaryKey"), "Logon.PrimaryKey");
  EXPECT_EQ(JetIndexName("Logon.PrimaryKey", "logon"), "PrimaryKey");
  EXPECT_EQ(JetIndexName("idx_foreign", "Logon"), "idx_foreign");
  EXPECT_EQ(JetIndexName("Other.ix", "Logon"), "Other.ix");
  EXPECT_EQ(JetIndexName("Logon.", "Logon"), "");
}

}  // namespace
}  // namespace lumo::jet

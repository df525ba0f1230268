#pragma once
// Field types of the engine and the forms in which values are stored.
//
// The column types of an SQLite file carry the DAO type, so any file opens with sensible
// field types and our own files describe themselves to the stock SQLite shell:
//
//   Jet DDL type            declared SQLite type                  affinity   DAO type
//   TEXT(n), CHAR(n), ...   VARCHAR(n) COLLATE NOCASE             text       dbText, size n
//   TEXT (bare)             VARCHAR(255) COLLATE NOCASE           text       dbText, 255
//   MEMO, LONGTEXT, ...     TEXT COLLATE NOCASE                   text       dbMemo
//   BIT, YESNO, ...         BOOLEAN                               numeric    dbBoolean
//   BYTE, TINYINT           TINYINT                               integer    dbByte
//   SHORT, SMALLINT         SMALLINT                              integer    dbInteger
//   LONG, INTEGER, INT      INTEGER                               integer    dbLong
//                           (INT when it is the primary key alone: a Null is refused, not numbered)
//   COUNTER                 INTEGER PRIMARY KEY AUTOINCREMENT     integer    dbLong + dbAutoIncrField
//                           (COUNTER where another primary key exists or the increment is
//                           not 1; the engine numbers it)
//   CURRENCY, MONEY         CURRENCY                              numeric    dbCurrency
//   SINGLE, REAL, FLOAT4    FLOAT4                                real       dbSingle
//   DOUBLE, FLOAT, NUMBER   DOUBLE                                real       dbDouble
//   DATETIME, DATE, TIME    DATETIME                              numeric    dbDate
//   BINARY(n), VARBINARY    BINARY(n)                             numeric    dbBinary
//   LONGBINARY, IMAGE, ...  BLOB                                  blob       dbLongBinary
//   GUID, UNIQUEIDENTIFIER  GUID                                  numeric    dbGUID
//   DECIMAL(p,s), NUMERIC   DECIMAL(p,s)                          numeric    dbDecimal
//
// Reading goes the other way for any declared type, including those of foreign files
// (INT, BIGINT, REAL, NUMERIC, TEXT, BLOB, VARCHAR(n), no type at all ...).
//
// Stored values:
//   Date      text 'YYYY-MM-DD HH:MM:SS.fff', always this width, so that dates sort and
//             compare as text and stay readable; the Date double (days since 30 Dec 1899,
//             fraction = time of day) converts to and from it here.
//   Boolean   the integers -1 (True) and 0 (False).
//   GUID      the braced registry text in upper case, '{0011AABB-CCDD-EEFF-0011-223344556677}'
//             (38 characters); the first three groups show the first eight bytes in
//             little-endian order, as the platform's GUID structure does.
//   Text      UTF-8 text, compared without regard to case (COLLATE NOCASE).
//   Currency  the number nearest to the four-decimal amount (an integer when whole), so that
//             the stock shell shows it as written and equal amounts are equal numbers; every
//             value written to such a column is rounded to four decimals, and the translator
//             computes + - * and Sum on amounts scaled by 10,000, never in binary fractions.
//   numbers   SQLite integers and reals.
//
// Index names: SQLite's index names are global to a file, Jet's belong to their table, so
// an index is stored as "<table>.<index>" (a dot cannot occur in Jet object names). A name
// without a dot (a foreign file's index) is taken as it stands.

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lumo::jet {

// DAO's DataTypeEnum.
inline constexpr int dbBoolean = 1;
inline constexpr int dbByte = 2;
inline constexpr int dbInteger = 3;
inline constexpr int dbLong = 4;
inline constexpr int dbCurrency = 5;
inline constexpr int dbSingle = 6;
inline constexpr int dbDouble = 7;
inline constexpr int dbDate = 8;
inline constexpr int dbBinary = 9;
inline constexpr int dbText = 10;
inline constexpr int dbLongBinary = 11;
inline constexpr int dbMemo = 12;
inline constexpr int dbGUID = 15;
inline constexpr int dbBigInt = 16;
inline constexpr int dbVarBinary = 17;
inline constexpr int dbChar = 18;
inline constexpr int dbNumeric = 19;
inline constexpr int dbDecimal = 20;
inline constexpr int dbFloat = 21;
inline constexpr int dbTime = 22;
inline constexpr int dbTimeStamp = 23;

// DAO's FieldAttributeEnum (the bits a table field carries).
inline constexpr int dbFixedField = 1;
inline constexpr int dbVariableField = 2;
inline constexpr int dbAutoIncrField = 16;
inline constexpr int dbUpdatableField = 32;
inline constexpr int dbDescending = 1;  // index fields only

// Largest Text size.
inline constexpr int kMaxTextSize = 255;

struct JetFieldType {
  int type = dbText;   // DataTypeEnum
  int size = 0;        // DAO Size: bytes for numbers, characters for Text, 0 for Memo/LongBinary
  int attributes = 0;  // dbFixedField / dbVariableField, plus dbAutoIncrField for counters
  int precision = 0;   // dbDecimal only
  int scale = 0;       // dbDecimal only
  bool operator==(const JetFieldType&) const = default;
};

// The field type of a Jet DDL type name (any synonym, case-insensitive, words separated by
// single blanks, e.g. "NATIONAL CHARACTER VARYING") with its optional size or precision and
// scale. nullopt for an unknown name or an impossible size (Text beyond 255, a size on a type
// that takes none).
std::optional<JetFieldType> JetDdlType(std::string_view typeName, std::optional<int> size = {},
                                       std::optional<int> scale = {});

// The size and attributes of a DAO type when nothing else is said (Text 255, Memo 0, Long 4
// fixed ...); an unknown number gives Memo.
JetFieldType DefaultFieldType(int daoType);

// The declared type name under which a field of this type is stored ("VARCHAR(50)",
// "DATETIME", "CURRENCY"), which MapDeclaredType reads back as the same type; a back-end adds
// what else its declarations carry (a collation). A counter gives "INTEGER" (the caller adds
// what makes it the table's row key) or, with counterIsRowKey false, "COUNTER".
std::string DeclaredTypeName(const JetFieldType& type, bool counterIsRowKey = true);

// The field type of any declared column type. autoIncrementKey: the column is the table's
// INTEGER PRIMARY KEY and the table uses AUTOINCREMENT. A column without a declared type can
// hold anything and reads as Memo.
JetFieldType MapDeclaredType(std::string_view declaredType, bool autoIncrementKey = false);

// Calendar parts of a date value.
struct DateParts {
  int year = 1899;
  int month = 12;
  int day = 30;
  int hour = 0;
  int minute = 0;
  int second = 0;
  int millisecond = 0;
};

// Date double <-> calendar parts. Years 100..9999 are Jet's range; the conversions work for
// years 1..9999. OleDateFromParts answers nullopt for an impossible date or time.
DateParts DatePartsFromOleDate(double oleDate);
std::optional<double> OleDateFromParts(const DateParts& parts);
bool IsValidDate(int year, int month, int day);
int DaysInMonth(int year, int month);

// The stored text of a date: 'YYYY-MM-DD HH:MM:SS.fff'.
std::string FormatStorageDate(const DateParts& parts);
std::string FormatStorageDate(double oleDate);
// Reads the stored form and the shorter ISO forms a foreign file may hold ('YYYY-MM-DD',
// 'YYYY-MM-DD HH:MM[:SS[.f...]]', also with 'T'); nullopt for anything else.
std::optional<DateParts> ParseStorageDate(std::string_view text);

// GUID bytes (in the platform's memory order) <-> the stored braced text.
std::string FormatStorageGuid(const std::array<uint8_t, 16>& bytes);
std::optional<std::array<uint8_t, 16>> ParseGuidText(std::string_view text);
// Braced upper-case form of a GUID text written with or without braces; nullopt when it is no
// GUID.
std::optional<std::string> NormalizeGuidText(std::string_view text);

// Stored Boolean values.
inline constexpr int kStorageTrue = -1;
inline constexpr int kStorageFalse = 0;

}  // namespace lumo::jet

#pragma once
// How Jet's fields and indexes are declared in an SQLite file. Text columns are declared
// COLLATE NOCASE, so that the file's own indexes and every reader compare text without regard
// to the case of ASCII letters as Jet does (the engine's jet_text settles the other letters);
// SQLite's index names are global to a file while Jet's belong to their table, so an index is
// stored as "<table>.<index>".

#include <string>
#include <string_view>

#include "jet/JetTypes.h"

namespace lumo::jet {

// The declared type with its collation ("VARCHAR(50) COLLATE NOCASE"); see DeclaredTypeName.
std::string SqliteColumnType(const JetFieldType& type, bool counterIsRowKey = true);

// "<table>.<index>" and back; JetIndexName strips the table's prefix (compared without regard
// to case) and returns other names unchanged.
std::string SqliteIndexName(std::string_view table, std::string_view index);
std::string JetIndexName(std::string_view sqliteIndexName, std::string_view table);

}  // namespace lumo::jet

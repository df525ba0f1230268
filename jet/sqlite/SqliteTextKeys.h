#pragma once
// Unique indexes over text, kept by Jet's comparison.
//
// A text column is declared COLLATE NOCASE, so its unique index refuses a second "ANNA" beside
// "Anna" but not "KÖLN" beside "Köln": NOCASE ignores the case of ASCII letters only. Jet
// ignores the case of every letter, so the engine adds, on its own connection, a TEMP trigger
// per such index that refuses a row whose key folds like another row's key (3022), unless
// the index finds the two keys equal itself: then the index refuses the key, or the
// statement's conflict clause (the catalogue's upserts) takes the row it meets. The triggers
// never enter the file: every reader keeps seeing an ordinary table with a NOCASE index,
// consistent for any SQLite (a writer without the engine keeps NOCASE's rule).

namespace lumo::jet {

class SqliteConnection;
class SqliteStatement;
struct TableInfo;

// Makes the connection's triggers for the table's unique indexes match its indexes: creates
// the missing ones and drops those of indexes that are gone or changed. Cheap when nothing
// changed (one look at the connection's temporary schema through `temporaryTriggers`, a
// statement of the connection listing sqlite_temp_master's triggers of table ?1).
void KeepTextKeysUnique(SqliteConnection& connection, SqliteStatement& temporaryTriggers, const TableInfo& table);

}  // namespace lumo::jet

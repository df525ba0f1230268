#!/bin/sh
# Fails, naming them, when files of the engine outside its SQLite back-end (jet/sqlite/)
# mention sqlite3, or when its sources there write SQL only SQLite speaks (its row id, its
# schema tables and pragmas, its conflict clauses, json_each, the engine's SQLite collation,
# its data version): the rest of the engine reaches storage only through jet/storage/, and
# asks the connection's dialect, row identity and catalogue reader for such SQL.
#   sqlite-confined.sh ENGINE_FOLDER
cd "$1" || exit 2
status=0
found=$(grep -rl sqlite3 . | grep -v '^\./sqlite/')
if [ -n "$found" ]; then
  echo "sqlite3 named outside jet/sqlite/:"
  echo "$found"
  status=1
fi
phrases='rowid|ROWID|sqlite_|pragma_|PRAGMA|INSERT OR|UPDATE OR|json_each|COLLATE jet_text|data_version'
found=$(grep -rnE --include='*.cpp' --include='*.h' "$phrases" . | grep -v '^\./sqlite/')
if [ -n "$found" ]; then
  echo "SQL only SQLite speaks written outside jet/sqlite/:"
  echo "$found"
  status=1
fi
[ $status -eq 0 ] && echo "SQLite named and spoken only inside jet/sqlite/"
exit $status

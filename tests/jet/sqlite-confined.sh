#!/bin/sh
# Fails, naming them, when files of the engine outside its SQLite back-end (jet/sqlite/)
# mention sqlite3: the rest of the engine reaches storage only through jet/storage/.
#   sqlite-confined.sh ENGINE_FOLDER
cd "$1" || exit 2
found=$(grep -rl sqlite3 . | grep -v '^\./sqlite/')
if [ -n "$found" ]; then
  echo "sqlite3 named outside jet/sqlite/:"
  echo "$found"
  exit 1
fi
echo "sqlite3 named only inside jet/sqlite/"

#pragma once
// Scope guard for one short write transaction: begins at construction, rolls back at
// destruction unless Commit() was called. BEGIN IMMEDIATE takes the write lock up front so
// that a busy database answers at the start, not halfway through the work.

#include <string>

namespace lumo::jet {

class SqliteConnection;

class SqliteTransaction {
 public:
  enum class Kind { Deferred, Immediate, Exclusive };

  explicit SqliteTransaction(SqliteConnection& connection, Kind kind = Kind::Immediate);
  ~SqliteTransaction();
  SqliteTransaction(const SqliteTransaction&) = delete;
  SqliteTransaction& operator=(const SqliteTransaction&) = delete;

  void Commit();

 private:
  SqliteConnection& connection_;
  bool open_ = true;
};

}  // namespace lumo::jet

#pragma once
// Scope guard for one short write transaction: begins at construction, rolls back at
// destruction unless Commit() was called. Immediate (the default) takes the write lock up
// front, waiting for it through the connection's busy handler, so that a busy database is
// waited for at the start, not refused halfway through the work.

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

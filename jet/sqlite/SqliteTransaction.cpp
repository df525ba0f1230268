#include "jet/sqlite/SqliteTransaction.h"

#include "jet/sqlite/SqliteConnection.h"

namespace lumo::jet {

SqliteTransaction::SqliteTransaction(SqliteConnection& connection, Kind kind) : connection_(connection) {
  switch (kind) {
    case Kind::Deferred: connection_.Exec("BEGIN"); break;
    case Kind::Immediate: connection_.BeginWrite(); break;
    case Kind::Exclusive: connection_.Exec("BEGIN EXCLUSIVE"); break;
  }
}

SqliteTransaction::~SqliteTransaction() {
  if (!open_) return;
  try {
    connection_.Exec("ROLLBACK");
  } catch (...) {
    // A failed statement may already have rolled the transaction back; nothing is left
    // to undo, and a destructor must not throw.
  }
}

void SqliteTransaction::Commit() {
  connection_.Exec("COMMIT");
  open_ = false;
}

}  // namespace lumo::jet

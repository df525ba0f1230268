#include "jet/storage/Transaction.h"

namespace lumo::jet::storage {

Transaction::Transaction(Connection& connection, TransactionKind kind) : connection_(connection) {
  connection_.Begin(kind);
}

Transaction::~Transaction() {
  if (!open_) return;
  try {
    connection_.Rollback();
  } catch (...) {
    // The failure that got us here may have rolled back already.
  }
}

void Transaction::Commit() {
  connection_.Commit();
  open_ = false;
}

ReadScope::ReadScope(Connection& connection) : connection_(connection) {
  if (!connection_.InTransaction()) {
    connection_.Begin(TransactionKind::Read);
    open_ = true;
  }
}

ReadScope::~ReadScope() {
  if (!open_) return;
  try {
    connection_.Rollback();
  } catch (...) {
    // Nothing was written.
  }
}

void ReadScope::End() {
  if (!open_) return;
  open_ = false;
  connection_.Commit();
}

}  // namespace lumo::jet::storage

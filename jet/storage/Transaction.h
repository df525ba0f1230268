#pragma once
// Scope guards over a storage connection's transactions: begun at construction, rolled back
// at destruction unless committed (Transaction) or ended (ReadScope). Destructors never throw:
// a failed statement may have ended the transaction already, and nothing is left to undo.

#include "jet/storage/Connection.h"

namespace lumo::jet::storage {

// One transaction of its own; Write (the default) takes the write lock up front.
class Transaction {
 public:
  explicit Transaction(Connection& connection, TransactionKind kind = TransactionKind::Write);
  ~Transaction();
  Transaction(const Transaction&) = delete;
  Transaction& operator=(const Transaction&) = delete;

  void Commit();

 private:
  Connection& connection_;
  bool open_ = true;
};

// A read transaction around several reads, so that they see one state of the database;
// nothing when the connection is in a transaction already (the reads then see that one's).
class ReadScope {
 public:
  explicit ReadScope(Connection& connection);
  ~ReadScope();
  ReadScope(const ReadScope&) = delete;
  ReadScope& operator=(const ReadScope&) = delete;

  void End();

 private:
  Connection& connection_;
  bool open_ = false;
};

}  // namespace lumo::jet::storage

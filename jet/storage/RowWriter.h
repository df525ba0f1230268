#pragma once
// Writes single rows of a base table for the recordsets' Update and Delete: insert returning
// the new row's key, update and delete by key. The DAO side (which fields are written, the
// checks DAO makes before it writes, the optimistic comparison with the row as Edit read it,
// the transaction around it all) stays with the recordset; the writer only turns one change
// into the back-end's statements.
//
// Contract:
//   - Keys are the engines' row keys: the back-end's row key, or for a target with a
//     primaryKey map the number that map gives the row's primary-key values.
//   - Each call runs inside the caller's write transaction and leaves no statement open; the
//     statements come from the connection's cache, so a recordset that writes row after row
//     prepares each form of statement once.
//   - Values are bound in place: they must stay unchanged until the call returns.
//   - Failures raise the DAO error of the back-end's mapping (3022 duplicate key, 3314 ...).

#include <cstdint>
#include <memory>
#include <optional>
#include <span>
#include <string>

#include "jet/JetTypes.h"
#include "runtime/Variant.h"

namespace lumo::jet {

class PrimaryKeyMap;

namespace storage {

// One field of the row to write.
struct FieldWrite {
  const std::string* column;  // the base table's column
  const Variant* value;
  const JetFieldType* type;
  const std::string* fieldName;  // the recordset's name for it, for the errors of conversion
};

// The table written and how its rows are known.
struct RowTarget {
  std::string table;
  PrimaryKeyMap* primaryKey = nullptr;  // a table without row keys; null where rows carry one
};

class RowWriter {
 public:
  virtual ~RowWriter() = default;

  // Adds a row with these fields (the others take their defaults); the new row's key, or
  // nullopt when the row was not kept (a trigger of another tool dropped it).
  virtual std::optional<int64_t> Insert(const RowTarget& target, std::span<const FieldWrite> fields) = 0;
  // Writes the fields of the row with this key; false when there is no such row. A write
  // of primary-key fields renews the key's values in the target's map.
  virtual bool Update(const RowTarget& target, int64_t key, std::span<const FieldWrite> fields) = 0;
  // Deletes the row with this key; false when there is no such row.
  virtual bool Delete(const RowTarget& target, int64_t key) = 0;
  // Keeps other sessions from changing the row with this key until the caller's write
  // transaction ends (the optimistic check before an Update, a pessimistic Edit). Nothing to
  // do where the write transaction holds the whole database already, as a file's does.
  virtual void LockRow(const RowTarget& target, int64_t key) {
    (void)target;
    (void)key;
  }

 protected:
  RowWriter() = default;
};

}  // namespace storage
}  // namespace lumo::jet

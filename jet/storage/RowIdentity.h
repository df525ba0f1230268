#pragma once
// How the engines that keep lists of rows (dynasets, table-type recordsets) name one row of a
// base table: by the integer key the back-end gives every row, where it has one. A back-end
// without such a key (or a table without one) names rows by their primary keys instead, which
// PrimaryKeyMap numbers; the identity then answers HasRowKey() false and the engines go by
// the primary key.
//
// Contract: texts only, no statements; the key's value is bound by the caller as a 64-bit
// integer at the parameter number it passed. Keys grow with the order of insertion unless a
// writer chose one (Membership in RecordsetKeyset.cpp relies on the largest key at open).

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace lumo::jet::storage {

class RowIdentity {
 public:
  virtual ~RowIdentity() = default;

  // Whether the table's rows carry the back-end's integer key.
  virtual bool HasRowKey() const = 0;
  // The expression whose value is a row's key, for select lists, orders and comparisons.
  virtual const std::string& KeyExpression() const = 0;
  // "<key> = ?n": the condition that picks one row.
  virtual std::string Condition(int parameter) const = 0;
  // The condition that picks the rows whose keys are in a list bound as one text value at
  // ?n (KeyListValue), so that one prepared statement reads any number of rows.
  virtual std::string InKeyList(int parameter) const = 0;
  virtual std::string KeyListValue(std::span<const int64_t> keys) const = 0;

 protected:
  RowIdentity() = default;
};

// The row identity of the engine's file back-end.
std::shared_ptr<const RowIdentity> FileRowIdentity();

}  // namespace lumo::jet::storage

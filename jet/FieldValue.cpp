// The value side of recordset fields: everything goes to the field's recordset, which holds
// the current row and the edit buffer.

#include "jet/Field.h"

#include "jet/DaoErrors.h"
#include "jet/Recordset.h"

namespace lumo::jet {

namespace {

constexpr int kInvalidOperation = 3219;

}  // namespace

Variant Field::Value() const {
  if (!IsValid()) CheckValid();
  if (!recordset_) Raise(kInvalidOperation);
  return recordset_->ColumnValue(column_);
}

void Field::SetValue(Variant value) {
  CheckValid();
  if (!recordset_) Raise(kInvalidOperation);
  recordset_->SetColumnValue(column_, std::move(value));
}

int Field::FieldSize() const {
  CheckValid();
  if (!recordset_) Raise(kInvalidOperation);
  return recordset_->ColumnFieldSize(column_);
}

Variant Field::GetChunk(int offset, int bytes) const {
  CheckValid();
  if (!recordset_) Raise(kInvalidOperation);
  return recordset_->ColumnChunk(column_, offset, bytes);
}

void Field::AppendChunk(const Variant& chunk) {
  CheckValid();
  if (!recordset_) Raise(kInvalidOperation);
  recordset_->AppendColumnChunk(column_, chunk);
}

}  // namespace lumo::jet

#pragma once
// Field objects. DAO has one Field class for four places, and so do we:
//   - a table definition's field (TableDef.Fields, CreateField): name, type, size,
//     attributes, Required, AllowZeroLength, DefaultValue read/write until appended;
//   - an index's field (Index.Fields): name and dbDescending;
//   - a relation's field (Relation.Fields): name and ForeignName;
//   - a query definition's field: read-only description;
//   - a recordset's field: the description plus Value, which reads and writes the current
//     row of its recordset (FieldSize, GetChunk, AppendChunk for Memo and Long Binary).
// Value on a recordset field with no current row answers 3021; writing without Edit/AddNew
// answers 3020; writing a counter or a non-updatable field 3113 (3164 family); reading a
// field whose recordset was closed 3420.

#include <memory>
#include <string>
#include <vector>

#include "jet/DaoObject.h"
#include "jet/JetTypes.h"
#include "jet/Property.h"
#include "runtime/Variant.h"

namespace lumo::jet {

class DatabaseFile;
class Recordset;

class Field : public DaoObject {
 public:
  // A free field (TableDef.CreateField / Index.CreateField) until appended.
  Field(std::string name, JetFieldType type);
  // A recordset field: column `column` of `recordset`'s rows.
  Field(std::string name, JetFieldType type, Recordset* recordset, int column);

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  int Type() const { return type_.type; }
  void SetType(int type);
  int Size() const { return type_.size; }
  void SetSize(int size);
  // The type's bits plus dbUpdatableField for a field that can be written.
  int Attributes() const;
  void SetAttributes(int attributes);
  const JetFieldType& FieldType() const { return type_; }

  bool Required() const { return required_; }
  void SetRequired(bool required);
  bool AllowZeroLength() const { return allowZeroLength_; }
  void SetAllowZeroLength(bool allow);
  const std::string& DefaultValue() const { return defaultValue_; }
  void SetDefaultValue(const std::string& text);
  // A relation's field: the name of its partner in the foreign table.
  const std::string& ForeignName() const { return foreignName_; }
  void SetForeignName(const std::string& name);
  int OrdinalPosition() const { return ordinal_; }
  const std::string& SourceTable() const { return sourceTable_; }
  const std::string& SourceField() const { return sourceField_; }
  bool DataUpdatable() const { return updatable_; }

  // Recordset fields only (others answer 3219 "Invalid operation.").
  Variant Value() const;
  // By value: a caller that gives a large value up (std::move) hands it over uncopied.
  void SetValue(Variant value);
  int FieldSize() const;
  Variant GetChunk(int offset, int bytes) const;
  void AppendChunk(const Variant& chunk);

  // The built-in properties and the user-defined ones kept for the field in the database
  // (Format, Caption, ...; for a recordset field those of its source table's field).
  PropertyCollection& Properties();

  // Engine side: description read from the catalogue; marks the field appended (fixed).
  void Describe(int ordinal, bool required, bool allowZeroLength, std::string defaultValue, std::string sourceTable,
                std::string sourceField, bool updatable);
  void Freeze() { frozen_ = true; }
  bool IsFrozen() const { return frozen_; }
  // An index's field: its Attributes carry dbDescending only.
  void MarkIndexField() { indexField_ = true; }
  bool IsIndexField() const { return indexField_; }
  // A table definition's free field appended to an index's Fields becomes that index's
  // field: descending exactly when a caller set dbDescending in its Attributes (the bit
  // means fixed size for a column, and a numeric column has it without being asked).
  void AdoptAsIndexField();
  // Where the field's user-defined properties live: the file and, for a recordset field, its
  // source table and field (set by Describe). Until then Properties holds them in memory.
  void SetCatalogue(std::weak_ptr<DatabaseFile> file) { file_ = std::move(file); }
  // A table definition's field becomes part of a table: stores the user-defined properties
  // appended so far, and keeps later ones in the file.
  void PersistProperties(const std::shared_ptr<DatabaseFile>& file, const std::string& table);
  // The recordset closed: the field answers 3420 from now on.
  void Detach() noexcept;

 private:
  void CheckChangeable() const;  // 3219 once appended or on recordset fields
  void BuildProperties();
  void HookProperties(const std::shared_ptr<DatabaseFile>& file);

  std::string name_;
  JetFieldType type_;
  Recordset* recordset_ = nullptr;  // not owned; cleared by Detach before the recordset dies
  int column_ = -1;
  int ordinal_ = 0;
  bool required_ = false;
  bool allowZeroLength_ = true;
  bool updatable_ = true;
  bool frozen_ = false;
  bool indexField_ = false;
  bool descendingAsked_ = false;  // the last SetAttributes carried dbDescending
  std::string defaultValue_;
  std::string foreignName_;
  std::string sourceTable_;
  std::string sourceField_;
  std::weak_ptr<DatabaseFile> file_;
  std::unique_ptr<PropertyCollection> properties_;  // built on first use
};

}  // namespace lumo::jet

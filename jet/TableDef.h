#pragma once
// Table definitions: the tables of a database (TableDefs), their fields and indexes. A new
// TableDef (Database.CreateTableDef) collects fields and indexes and becomes a table when
// appended to TableDefs (3264 without fields, 3010 when the name exists). Changes of an
// appended table go to the file at once: Fields.Append adds a column, Fields.Delete drops
// one (3280 while an index uses it), Indexes.Append creates an index, Indexes.Delete drops
// it (3211 while a recordset has the table open is not enforced, since SQLite allows it).
// Name, Attributes and the design are fixed once appended (3219). A table that was dropped,
// or whose database was closed, answers 3420.

#include <memory>
#include <string>

#include "jet/Collection.h"
#include "jet/DaoObject.h"
#include "jet/Field.h"
#include "jet/Index.h"
#include "jet/Property.h"
#include "jet/storage/SchemaWriter.h"
#include "runtime/Variant.h"

namespace lumo::jet {

class DatabaseFile;
class Recordset;
struct TableInfo;

class TableDef : public DaoObject {
 public:
  TableDef(std::string name, int32_t attributes);
  ~TableDef() override;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  int32_t Attributes() const { return attributes_; }
  void SetAttributes(int32_t attributes);
  Variant DateCreated() const;
  Variant LastUpdated() const;
  int RecordCount() const;  // exact number of rows
  bool Updatable() const;

  Collection<Field>& Fields();
  Collection<Index>& Indexes();
  PropertyCollection& Properties();

  std::shared_ptr<Field> CreateField(const std::string& name, int type = dbText, int size = 0);
  std::shared_ptr<Index> CreateIndex(const std::string& name);
  std::shared_ptr<Recordset> OpenRecordset(int type = 0, int options = 0);

  // Engine side: bind to an existing table of a file (fields and indexes from the catalogue).
  void Attach(std::shared_ptr<DatabaseFile> file);
  bool IsAppended() const { return static_cast<bool>(file_); }
  // What a new TableDef describes, for TableDefs.Append (3264 without fields).
  TableDesign Design();
  // The table is gone or its database closed.
  void Detach() noexcept;

 private:
  class FieldList;
  class IndexList;
  void BuildFields();
  void BuildIndexes();
  // The table's description; nullptr while not appended; 3420 when it is gone.
  std::shared_ptr<const TableInfo> Info() const;
  static DdlIndex DesignOf(Index& index);
  static ColumnDesign DesignOf(const Field& field);
  // A new table's user-defined properties (its own and its fields') go to the file.
  void PersistProperties();
  // Later changes of the table's properties go to the file.
  void HookProperties();

  std::string name_;
  int32_t attributes_;
  std::shared_ptr<DatabaseFile> file_;  // empty until appended
  std::unique_ptr<Collection<Field>> fields_;
  std::unique_ptr<Collection<Index>> indexes_;
  std::unique_ptr<PropertyCollection> properties_;
};

}  // namespace lumo::jet

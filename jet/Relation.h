#pragma once
// Relation objects: a primary table (Table) and a foreign table whose rows refer to it, with
// the fields that pair up (Fields: each field's Name in the primary table, its ForeignName in
// the foreign one). Database.CreateRelation makes a new one; Relations.Append stores it and
// from then on the engine enforces it on every writer of the file: a foreign row needs its
// primary row (3201), a primary row with foreign rows cannot go (3200), unless Attributes ask
// for cascading updates or deletes (dbRelationUpdateCascade, dbRelationDeleteCascade) or for
// no enforcement (dbRelationDontEnforce). Name, Table, ForeignTable, Attributes and the fields
// are fixed once appended (3219); a deleted relation answers 3420.

#include <memory>
#include <string>

#include "jet/Collection.h"
#include "jet/DaoObject.h"
#include "jet/Field.h"

namespace lumo::jet {

struct RelationInfo;

class Relation : public DaoObject {
 public:
  Relation(std::string name, std::string table, std::string foreignTable, int attributes);
  ~Relation() override;

  const std::string& Name() const { return name_; }
  void SetName(const std::string& name);
  const std::string& Table() const { return table_; }
  void SetTable(const std::string& table);
  const std::string& ForeignTable() const { return foreignTable_; }
  void SetForeignTable(const std::string& table);
  int Attributes() const { return attributes_; }
  void SetAttributes(int attributes);

  Collection<Field>& Fields();
  // A field to append to Fields: its Name in the primary table; set its ForeignName.
  std::shared_ptr<Field> CreateField(const std::string& name);

  // Engine side: the relation as the catalogue describes it (appended, fixed).
  static std::shared_ptr<Relation> FromInfo(const RelationInfo& info);
  // What a new relation describes, for Relations.Append.
  RelationInfo Design();
  bool IsAppended() const { return appended_; }
  void MarkAppended();
  void Detach() noexcept { Invalidate(); }

 private:
  void CheckChangeable() const;

  std::string name_;
  std::string table_;
  std::string foreignTable_;
  int attributes_;
  bool appended_ = false;
  std::unique_ptr<Collection<Field>> fields_;
};

}  // namespace lumo::jet

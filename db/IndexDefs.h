#pragma once
// Index definitions: name, key fields (";"-separated), options, expression, descending and
// case-insensitive field lists. A dataset fills them on request (Update); a dataset class
// may publish a subclass with a richer Update.
//
// Errors: Find raises EDatabaseError "Index '<name>' not found".

#include "db/DbTypes.h"
#include "runtime/Component.h"

#include <memory>
#include <string>
#include <vector>

namespace lumo {

class TDataSet;

class TIndexDef : public TObject {
 public:
  TIndexDef() = default;

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  const std::string& Name() const noexcept { return name_; }
  void SetName(const std::string& name) { name_ = name; }
  const std::string& Fields() const noexcept { return fields_; }
  void SetFields(const std::string& fields) { fields_ = fields; }
  TIndexOptions Options() const noexcept { return options_; }
  void SetOptions(TIndexOptions options) { options_ = options; }
  const std::string& Expression() const noexcept { return expression_; }
  void SetExpression(const std::string& expression) { expression_ = expression; }
  const std::string& DescFields() const noexcept { return descFields_; }
  void SetDescFields(const std::string& fields) { descFields_ = fields; }
  const std::string& CaseInsFields() const noexcept { return caseInsFields_; }
  void SetCaseInsFields(const std::string& fields) { caseInsFields_ = fields; }
  const std::string& Source() const noexcept { return source_; }
  void SetSource(const std::string& source) { source_ = source; }

 private:
  std::string name_;
  std::string fields_;
  TIndexOptions options_;
  std::string expression_;
  std::string descFields_;
  std::string caseInsFields_;
  std::string source_;
};

class TIndexDefs {
 public:
  explicit TIndexDefs(TDataSet* dataSet = nullptr) : dataSet_(dataSet) {}
  TIndexDefs(const TIndexDefs&) = delete;
  TIndexDefs& operator=(const TIndexDefs&) = delete;
  virtual ~TIndexDefs() = default;

  TIndexDef& Add(const std::string& name, const std::string& fields, TIndexOptions options);
  TIndexDef& AddIndexDef();
  // Removes the definition at `index`; EDatabaseError "List index out of bounds (n)" when
  // there is none.
  void Delete(int index);
  void Clear();
  int Count() const noexcept { return static_cast<int>(items_.size()); }
  TIndexDef& Items(int index) const;
  TIndexDef& operator[](int index) const { return Items(index); }
  int IndexOf(const std::string& name) const;  // case-insensitive; -1 when missing
  TIndexDef* FindDef(const std::string& name) const;
  TIndexDef& Find(const std::string& name) const;
  // The first index whose key fields begin with `fields` (case-insensitive); nullptr if none.
  TIndexDef* FindIndexForFields(const std::string& fields) const;

  // Brings the definitions up to date. Default: asks the dataset (RefreshIndexDefinitions)
  // and marks them updated.
  virtual void Update();
  bool Updated() const noexcept { return updated_; }
  void SetUpdated(bool value) { updated_ = value; }
  TDataSet* DataSet() const noexcept { return dataSet_; }

 private:
  TDataSet* dataSet_;
  std::vector<std::unique_ptr<TIndexDef>> items_;
  bool updated_ = false;
};

}  // namespace lumo

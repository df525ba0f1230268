#pragma once
// TDBGrid: the data-aware grid. It shows the records of the dataset behind its DataSource,
// one row per record and one column per entry of Columns (or per visible field when Columns
// is empty), follows the dataset's current record, and moves the dataset when the user
// selects a row.
//
// Rows are read in chunks as the user scrolls down (never the whole table when it opens):
// the grid walks the dataset from the last row it holds, keeps each row's texts and
// bookmark, and puts the cursor back where it was. Until the grid is shown with its form, it
// reads nothing at all.
//
// Cells show the field's DisplayText; column titles are Title.Caption, or the field name when
// that is empty; a column without Width gets kDefaultColumnWidth pixels. Whole rows are
// selected; the grid never edits or inserts. Ctrl+Delete asks "Datensatz löschen?" (when
// dgConfirmDelete is set) and deletes the current record on OK; errors go to the
// application's default handler.

#include "gui/Control.h"

#include <memory>
#include <string>
#include <vector>

namespace lumo {

class TDataSource;
class TDataSet;
class GridLink;
class GridRows;

enum class TDBGridOption {
  dgEditing,
  dgAlwaysShowEditor,
  dgTitles,
  dgIndicator,
  dgColumnResize,
  dgColLines,
  dgRowLines,
  dgTabs,
  dgRowSelect,
  dgAlwaysShowSelection,
  dgConfirmDelete,
  dgCancelOnExit,
  dgMultiSelect
};
// Member n of TDBGridOption is bit n.
using TDBGridOptions = uint32_t;
constexpr TDBGridOptions GridOption(TDBGridOption option) { return 1u << static_cast<unsigned>(option); }

class TColumnTitle : public TObject {
 public:
  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
  const std::string& Caption() const noexcept { return caption_; }
  void SetCaption(const std::string& caption) { caption_ = caption; }

 private:
  std::string caption_;
};

class TColumn : public TObject {
 public:
  static constexpr int kDefaultWidth = -1;  // the grid's default width

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;
  const std::string& FieldName() const noexcept { return fieldName_; }
  void SetFieldName(const std::string& name) { fieldName_ = name; }
  int Width() const noexcept { return width_; }
  void SetWidth(int width) { width_ = width; }
  bool Visible() const noexcept { return visible_; }
  void SetVisible(bool visible) { visible_ = visible; }
  // Kept for descriptions that write it; columns here have no sub-columns.
  bool Expanded() const noexcept { return expanded_; }
  void SetExpanded(bool expanded) { expanded_ = expanded; }
  TColumnTitle& Title() noexcept { return title_; }
  const TColumnTitle& Title() const noexcept { return title_; }

 private:
  std::string fieldName_;
  int width_ = kDefaultWidth;
  bool visible_ = true;
  bool expanded_ = false;
  TColumnTitle title_;
};

class TDBGridColumns {
 public:
  int Count() const noexcept { return static_cast<int>(items_.size()); }
  TColumn* Items(int index) const { return items_.at(static_cast<size_t>(index)).get(); }
  TColumn* Add();
  void Clear() { items_.clear(); }

 private:
  std::vector<std::unique_ptr<TColumn>> items_;
};

class TDBGrid : public TControl {
 public:
  static constexpr int kDefaultColumnWidth = 64;
  static constexpr TDBGridOptions kDefaultOptions =
      GridOption(TDBGridOption::dgEditing) | GridOption(TDBGridOption::dgTitles) |
      GridOption(TDBGridOption::dgIndicator) | GridOption(TDBGridOption::dgColumnResize) |
      GridOption(TDBGridOption::dgColLines) | GridOption(TDBGridOption::dgRowLines) |
      GridOption(TDBGridOption::dgTabs) | GridOption(TDBGridOption::dgConfirmDelete) |
      GridOption(TDBGridOption::dgCancelOnExit);
  // The confirmation before a record is deleted.
  static constexpr const char* kDeleteQuestion = "Datensatz löschen?";

  explicit TDBGrid(TComponent* owner);
  ~TDBGrid() override;

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  TDataSource* DataSource() const;
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  TDBGridColumns& Columns() noexcept { return columns_; }
  TDBGridOptions Options() const noexcept { return options_; }
  void SetOptions(TDBGridOptions options);
  bool HasOption(TDBGridOption option) const noexcept { return (options_ & GridOption(option)) != 0; }
  bool ReadOnly() const noexcept { return readOnly_; }
  void SetReadOnly(bool readOnly) { readOnly_ = readOnly; }

  // Ctrl+Delete: confirmation (with dgConfirmDelete), then Delete of the current record.
  void DeleteRecord();
  // The rows read so far (0 while the grid is not shown).
  int LoadedRowCount() const;
  // The selected row, -1 when none (or not shown).
  int SelectedRow() const;

  void NotifyComponentChange(TComponent* component, Operation operation) override;

 protected:
  std::unique_ptr<ControlFace> CreateFace(ControlFace* parent) override;
  void FaceReady() override;

 private:
  friend class GridLink;
  friend class GridRows;
  GridFace* View() const noexcept { return static_cast<GridFace*>(Face()); }
  // Link notifications (only while the grid has its widget).
  void LinkReset();
  void LinkScrolled();
  void LinkRecordChanged();
  void RowSelected(int row);
  void SelectCurrentRecord();
  void ApplyOptions();
  void FocusLeft();

  TDBGridColumns columns_;
  TDBGridOptions options_ = kDefaultOptions;
  bool readOnly_ = false;
  bool syncing_ = false;
  std::unique_ptr<GridLink> link_;
  std::unique_ptr<GridRows> model_;
};

}  // namespace lumo

#pragma once
// TDataLink: how a data-aware control (grid, navigator, a detail dataset) follows a dataset
// through a TDataSource. The dataset tells every link of its data sources what happened
// (scroll, record change, state change, layout change); a link reads the records of its own
// window: BufferCount records around the current one, the active one at ActiveRecord.
//
// The dataset keeps as many record buffers as the largest BufferCount of its links (at
// least 1). Setting ActiveRecord points the dataset's active buffer at that row of the
// window, so that fields read that record; set it back after reading.

#include "db/DbTypes.h"
#include "runtime/Component.h"

#include <string>
#include <vector>

namespace lumo {

class TDataSet;
class TDataSource;
class TField;

class TDataLink {
 public:
  TDataLink() = default;
  TDataLink(const TDataLink&) = delete;
  TDataLink& operator=(const TDataLink&) = delete;
  virtual ~TDataLink();

  TDataSource* DataSource() const noexcept { return dataSource_; }
  void SetDataSource(TDataSource* source);
  TDataSet* DataSet() const;
  // The source is enabled and its dataset is open.
  bool Active() const noexcept { return active_; }
  // Row of the current record in this link's window (0-based).
  int ActiveRecord() const;
  void SetActiveRecord(int value);
  int BufferCount() const noexcept { return bufferCount_; }
  void SetBufferCount(int value);
  // Records available in this link's window.
  int RecordCount() const;
  bool Editing() const noexcept { return editing_; }
  // Puts the dataset into edit state when the source allows (AutoEdit); answers Editing().
  bool Edit();
  bool ReadOnly() const noexcept { return readOnly_; }
  void SetReadOnly(bool value);
  // Asks the link to write its pending control value (UpdateData) before a post.
  void UpdateRecord();

  // Called by the data source; dispatches to the virtual hooks below.
  void DataEvent(TDataEvent event, intptr_t info);

 protected:
  virtual void ActiveChanged() {}
  virtual void CheckBrowseMode() {}
  virtual void DataSetChanged() { RecordChanged(nullptr); }
  virtual void DataSetScrolled(int distance) {
    (void)distance;
    DataSetChanged();
  }
  virtual void EditingChanged() {}
  virtual void FocusControl(TField* field) { (void)field; }
  virtual void LayoutChanged() { DataSetChanged(); }
  virtual void RecordChanged(TField* field) { (void)field; }
  virtual void UpdateData() {}

 private:
  friend class TDataSource;
  friend class TDataSet;
  void UpdateState();
  void SetActive(bool value);
  void SetEditing(bool value);

  TDataSource* dataSource_ = nullptr;
  int firstRecord_ = 0;
  int bufferCount_ = 1;
  bool active_ = false;
  bool editing_ = false;
  bool readOnly_ = false;
  bool updating_ = false;
};

// The link a detail dataset keeps to its master: the master's fields named in FieldNames
// (";"-separated), and callbacks when the master moves or the link goes inactive.
// Errors: EDatabaseError "Circular datalinks are not allowed" when a dataset would be its
// own master; a name not found raises the master's field-not-found error.
class TMasterDataLink : public TDataLink {
 public:
  explicit TMasterDataLink(TDataSet* detail) : detail_(detail) {}

  const std::string& FieldNames() const noexcept { return fieldNames_; }
  void SetFieldNames(const std::string& names);
  const std::vector<TField*>& Fields() const noexcept { return fields_; }
  TDataSet* Detail() const noexcept { return detail_; }

  Event<void()> OnMasterChange;
  Event<void()> OnMasterDisable;

 protected:
  void ActiveChanged() override;
  void CheckBrowseMode() override;
  void LayoutChanged() override;
  void RecordChanged(TField* field) override;

 private:
  void BuildFields();

  TDataSet* detail_;
  std::string fieldNames_;
  std::vector<TField*> fields_;
};

}  // namespace lumo

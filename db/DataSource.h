#pragma once
// TDataSource: the component that joins a dataset to its data links (grids, navigators,
// detail datasets). It forwards the dataset's events to every link, and reports data and
// state changes through its own events.

#include "db/DataLink.h"
#include "db/DbTypes.h"
#include "runtime/Component.h"

#include <vector>

namespace lumo {

class TDataSet;
class TField;

class TDataSource : public TComponent {
 public:
  explicit TDataSource(TComponent* owner);
  ~TDataSource() override;

  static const ClassInfo& StaticClass();
  const ClassInfo& ClassType() const override;

  TDataSet* DataSet() const noexcept { return dataSet_; }
  void SetDataSet(TDataSet* dataSet);
  bool Enabled() const noexcept { return enabled_; }
  void SetEnabled(bool value);
  bool AutoEdit() const noexcept { return autoEdit_; }
  void SetAutoEdit(bool value) { autoEdit_ = value; }
  // The dataset's state, dsInactive without dataset or while disabled.
  TDataSetState State() const noexcept { return state_; }
  // Puts the dataset in edit state when AutoEdit and it is browsing.
  void Edit();
  bool IsLinkedTo(const TDataSet* dataSet) const;
  const std::vector<TDataLink*>& DataLinks() const noexcept { return links_; }

  // Called by the dataset.
  void DataEvent(TDataEvent event, intptr_t info);

  void NotifyComponentChange(TComponent* component, Operation operation) override;

  Event<void(TDataSource&, TField*)> OnDataChange;
  Event<void(TDataSource&)> OnStateChange;
  Event<void(TDataSource&)> OnUpdateData;

 private:
  friend class TDataLink;
  friend class TDataSet;
  void AddDataLink(TDataLink* link);
  void RemoveDataLink(TDataLink* link);
  void UpdateState();
  void NotifyLinks(TDataEvent event, intptr_t info);

  TDataSet* dataSet_ = nullptr;
  std::vector<TDataLink*> links_;
  TDataSetState state_ = TDataSetState::dsInactive;
  bool enabled_ = true;
  bool autoEdit_ = true;
};

}  // namespace lumo

#pragma once
// DAO collections: Count, Item by position (0 .. Count-1) or by name (without regard to case),
// Refresh, Append and Delete. A plain Collection only holds its items; the collections whose
// Append and Delete change the database (TableDefs, Indexes, QueryDefs, Properties, ...)
// derive from it and override the hooks.
//
// Errors: an unknown position or name answers 3265 "Item not found in this collection.";
// appending a name that is already present answers 3367.

#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "jet/DaoErrors.h"
#include "runtime/StrUtils.h"

namespace lumo::jet {

template <class T>
class Collection {
 public:
  virtual ~Collection() = default;

  int Count() const { return static_cast<int>(items_.size()); }

  std::shared_ptr<T> Item(int index) const {
    if (index < 0 || index >= Count()) RaiseDaoError(3265, {}, source_);
    return items_[static_cast<size_t>(index)];
  }
  std::shared_ptr<T> Item(std::string_view name) const {
    if (auto item = Find(name)) return item;
    RaiseDaoError(notFoundNumber_, {}, source_);
  }
  // The item of that name, or nullptr; never raises.
  std::shared_ptr<T> Find(std::string_view name) const {
    for (const auto& item : items_) {
      if (AnsiSameText(item->Name(), name)) return item;
    }
    return nullptr;
  }

  virtual void Refresh() {}
  virtual void Append(std::shared_ptr<T> item) {
    if (Find(item->Name())) RaiseDaoError(3367, {}, source_);
    items_.push_back(std::move(item));
  }
  virtual void Delete(std::string_view name) {
    for (auto it = items_.begin(); it != items_.end(); ++it) {
      if (AnsiSameText((*it)->Name(), name)) {
        items_.erase(it);
        return;
      }
    }
    RaiseDaoError(3265, {}, source_);
  }

  auto begin() const { return items_.begin(); }
  auto end() const { return items_.end(); }

 protected:
  explicit Collection(std::string source = "DAO.Database", int notFoundNumber = 3265)
      : source_(std::move(source)), notFoundNumber_(notFoundNumber) {}

  // For the owner: fill without the duplicate check, e.g. when refreshing from the catalogue.
  void Reset(std::vector<std::shared_ptr<T>> items) { items_ = std::move(items); }
  void Add(std::shared_ptr<T> item) { items_.push_back(std::move(item)); }
  void Remove(const T* item) {
    std::erase_if(items_, [item](const auto& held) { return held.get() == item; });
  }

  std::vector<std::shared_ptr<T>> items_;

 private:
  std::string source_;
  int notFoundNumber_;

  template <class U>
  friend class OwnedCollection;
};

// A collection that its owner fills and empties itself; callers see Count/Item/Refresh only.
template <class T>
class OwnedCollection : public Collection<T> {
 public:
  explicit OwnedCollection(std::string source = "DAO.Database", int notFoundNumber = 3265)
      : Collection<T>(std::move(source), notFoundNumber) {}
  using Collection<T>::Reset;
  using Collection<T>::Add;
  using Collection<T>::Remove;
};

}  // namespace lumo::jet

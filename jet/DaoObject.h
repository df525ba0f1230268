#pragma once
// Base of every engine object that callers hold: an automation object reference
// (std::shared_ptr) that can be closed or deleted while references remain. A closed object
// stays a valid C++ object and answers every member with DAO error 3420 "Object is invalid
// or no longer set.", never through a dangling pointer.

#include <string>
#include <vector>

#include "runtime/Com.h"

namespace lumo::jet {

class DaoObject : public ComObject {
 public:
  bool IsValid() const noexcept { return valid_; }

 protected:
  // `source` is the class name errors of this object carry ("DAO.Recordset", ...).
  explicit DaoObject(const char* source) : source_(source) {}

  // Raises 3420 when the object was closed or deleted.
  void CheckValid() const;
  // Marks the object closed; later calls answer 3420.
  void Invalidate() noexcept { valid_ = false; }
  const char* Source() const noexcept { return source_; }
  // Raises a DAO error with this object's source.
  [[noreturn]] void Raise(int number, const std::vector<std::string>& args = {}) const;

 private:
  const char* source_;
  bool valid_ = true;
};

}  // namespace lumo::jet

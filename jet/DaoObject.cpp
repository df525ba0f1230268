#include "jet/DaoObject.h"

#include "jet/DaoErrors.h"

namespace lumo::jet {

void DaoObject::CheckValid() const {
  if (!valid_) RaiseDaoError(3420, {}, source_);
}

void DaoObject::Raise(int number, const std::vector<std::string>& args) const { RaiseDaoError(number, args, source_); }

}  // namespace lumo::jet

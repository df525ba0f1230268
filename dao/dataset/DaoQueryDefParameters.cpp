// Binding and reading back the parameters of a stored query definition.

#include "dao/dataset/DaoQueryDefParameters.h"

#include "jet/DaoConstants.h"
#include "runtime/Exceptions.h"

namespace lumo {

namespace {

bool TakesInput(int direction) {
  return direction == jet::dbParamInput || direction == jet::dbParamInputOutput;
}

bool GivesOutput(int direction) {
  return direction == jet::dbParamOutput || direction == jet::dbParamInputOutput ||
         direction == jet::dbParamReturnValue;
}

}  // namespace

void BindQueryDefParameters(jet::Collection<jet::Parameter>& parameters, const TStrings& lines) {
  try {
    const int count = parameters.Count();
    int line = 0;
    for (int i = 0; i < count; ++i) {
      jet::Parameter& parameter = *parameters.Item(i);
      if (!TakesInput(parameter.Direction())) continue;
      if (line >= lines.Count()) throw EDatabaseError("missing parameter line");
      const std::string text = lines[line++];
      parameter.SetValue(text == "NULL" ? Variant::Null() : Variant(text));
    }
  } catch (const std::exception&) {
    throw EDatabaseError(
        "TLumoDaoTable.OpenDaoRecordset: Invalid number of QueryDef parameters or parameter is not "
        "in "
        "valid format!");
  }
}

Variant CollectOutputParameters(jet::Collection<jet::Parameter>& parameters) {
  Variant value = Variant::Null();
  try {
    std::vector<std::shared_ptr<jet::Parameter>> outputs;
    for (int i = 0; i < parameters.Count(); ++i) {
      auto parameter = parameters.Item(i);
      if (GivesOutput(parameter->Direction())) outputs.push_back(std::move(parameter));
    }
    if (outputs.size() == 1) {
      value = outputs.front()->Value();
    } else if (outputs.size() > 1) {
      value = VarArrayCreate(0, static_cast<int32_t>(outputs.size()));
      for (size_t j = 0; j < outputs.size(); ++j)
        value.Put(static_cast<int32_t>(j), outputs[j]->Value());
    }
  } catch (const std::exception&) {
    // Output values are optional facts of a query: what was read stays.
  }
  return value;
}

}  // namespace lumo

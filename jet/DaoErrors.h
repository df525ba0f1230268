#pragma once
// DAO's error numbers and texts, and the one place where the engine raises them.
//
// Every engine failure reaches the caller as lumo::EOleException carrying the DAO number, the
// source object ("DAO.Database", "DAO.Recordset", ...), the description, the help file
// "jeterr40.chm" and the help context 5000000 + number, the way the automation layer of the
// original platform delivered them. Before throwing, RaiseDaoError hands the same record to
// the thread's error hook, through which the engine fills DBEngine.Errors.
//
// Failures of the storage back-end reach here through the back-end's error mapper
// (storage/ErrorMapper.h), which gives them the DAO number a DAO program tests for and keeps
// the back-end's own message as the record's detail.

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "jet/DaoErrorNumbers.h"

namespace lumo::jet {

// One raised error as the Errors collection shows it.
struct DaoErrorInfo {
  int number = 0;
  std::string description;  // full DAO text, placeholders filled
  std::string source;       // "DAO.Database", "DAO.Recordset", ...
  std::string helpFile;     // "jeterr40.chm"
  int helpContext = 0;      // 5000000 + number
  std::string detail;       // the storage back-end's own message, empty for pure DAO errors
  // A name the back-end could not resolve in a query (Jet takes it for a parameter); empty
  // for every other failure.
  std::string unknownName;
};

// The text pattern of a DAO error number, "%s" marking each placeholder; nullptr when the
// number is not one of ours.
const char* DaoErrorPattern(int number);

// The description of a DAO error with its placeholders filled in order (missing arguments
// leave them empty). Names go in quotes because the patterns carry the quotes themselves.
// An unknown number gives "Reserved error (<number>); there is no message for this error.".
std::string DaoErrorText(int number, const std::vector<std::string>& args = {});

// Builds the full record for a DAO error.
DaoErrorInfo MakeDaoError(int number, const std::vector<std::string>& args = {}, std::string source = "DAO.Database",
                          std::string detail = {});

// Reports the record to the thread's hook, then throws it as EOleException.
[[noreturn]] void RaiseDaoError(const DaoErrorInfo& error);
[[noreturn]] void RaiseDaoError(int number, const std::vector<std::string>& args = {},
                                std::string source = "DAO.Database");

// The hook every raised error passes through, per thread (one thread per component graph).
// SetDaoErrorHook returns the hook it replaced; an empty function removes the hook.
using DaoErrorHook = std::function<void(const DaoErrorInfo&)>;
DaoErrorHook SetDaoErrorHook(DaoErrorHook hook);

// The message a function or trigger the engine registers in a back-end reports for a DAO
// error, understood by the back-end's error mapper: "jet error <number>: <text>".
std::string FunctionErrorMessage(int number, const std::vector<std::string>& args = {});

}  // namespace lumo::jet

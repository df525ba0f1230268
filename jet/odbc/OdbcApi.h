#pragma once
// The driver manager's entries the ODBC back-end calls, looked up in libodbc when the first
// ODBC source is opened. Programs that never open one (the journal's recording run, every
// program on files) never map the driver manager nor the libraries it pulls in.
//
// Text crosses the interface as UTF-16 (the W entries and SQL_C_WCHAR), whatever the
// process's locale: the driver manager and a Unicode driver then pass it unchanged, where
// 8-bit text would be re-encoded by the locale's character set on the way.

#include <sql.h>
#include <sqlext.h>
#include <sqlucode.h>

#include <string>
#include <string_view>

namespace lumo::jet::odbc {

struct OdbcApi {
  decltype(&SQLAllocHandle) allocHandle = nullptr;
  decltype(&SQLFreeHandle) freeHandle = nullptr;
  decltype(&SQLSetEnvAttr) setEnvAttr = nullptr;
  decltype(&SQLSetConnectAttrW) setConnectAttr = nullptr;
  decltype(&SQLGetConnectAttrW) getConnectAttr = nullptr;
  decltype(&SQLDriverConnectW) driverConnect = nullptr;
  decltype(&SQLDisconnect) disconnect = nullptr;
  decltype(&SQLGetDiagRecW) getDiagRec = nullptr;
  decltype(&SQLGetInfoW) getInfo = nullptr;
  decltype(&SQLEndTran) endTran = nullptr;
  decltype(&SQLPrepareW) prepare = nullptr;
  decltype(&SQLExecute) execute = nullptr;
  decltype(&SQLExecDirectW) execDirect = nullptr;
  decltype(&SQLNumResultCols) numResultCols = nullptr;
  decltype(&SQLDescribeColW) describeCol = nullptr;
  decltype(&SQLColAttributeW) colAttribute = nullptr;
  decltype(&SQLBindParameter) bindParameter = nullptr;
  decltype(&SQLFetch) fetch = nullptr;
  decltype(&SQLGetData) getData = nullptr;
  decltype(&SQLFreeStmt) freeStmt = nullptr;
  decltype(&SQLCloseCursor) closeCursor = nullptr;
  decltype(&SQLRowCount) rowCount = nullptr;
  decltype(&SQLSetStmtAttrW) setStmtAttr = nullptr;
  decltype(&SQLTablesW) tables = nullptr;
  decltype(&SQLColumnsW) columns = nullptr;
  decltype(&SQLStatisticsW) statistics = nullptr;
  decltype(&SQLPrimaryKeysW) primaryKeys = nullptr;
  decltype(&SQLForeignKeysW) foreignKeys = nullptr;
  decltype(&SQLMoreResults) moreResults = nullptr;
  decltype(&SQLDescribeParam) describeParam = nullptr;
};

// The driver manager, loaded on first call and kept for the process's life; raises 3170
// ("Could not find installable ISAM.") when it is not installed or lacks an entry.
const OdbcApi& Odbc();

// Whether the driver manager is mapped into the process (for the tests that keep it off the
// start-up path of programs that never open an ODBC source).
bool OdbcLoaded();

bool Succeeded(SQLRETURN result);

// UTF-8 <-> UTF-16 as the interface's SQLWCHAR (two bytes). Malformed UTF-8 becomes U+FFFD,
// and so does an unpaired surrogate coming back.
std::u16string ToWide(std::string_view text);
void AppendUtf8(std::u16string_view text, std::string& out);
std::string ToUtf8(std::u16string_view text);

// The W entries take SQLWCHAR*, which unixODBC declares as unsigned short.
inline SQLWCHAR* Wide(std::u16string& text) { return reinterpret_cast<SQLWCHAR*>(text.data()); }

}  // namespace lumo::jet::odbc

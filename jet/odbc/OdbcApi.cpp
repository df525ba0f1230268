#include "jet/odbc/OdbcApi.h"

#include <dlfcn.h>

#include <mutex>

#include "jet/DaoErrors.h"

#ifndef LUMO_ODBC_LIBRARY
#define LUMO_ODBC_LIBRARY "libodbc.so.2"
#endif

namespace lumo::jet::odbc {

namespace {

constexpr int kNoInstallableIsam = 3170;

template <class F>
bool Find(void* library, const char* name, F& entry) {
  entry = reinterpret_cast<F>(dlsym(library, name));
  return entry != nullptr;
}

// Null when the library or one of its entries is missing; loaded once, never unloaded (the
// driver manager keeps drivers loaded that a later connection may need again).
const OdbcApi* Load() {
  void* library = dlopen(LUMO_ODBC_LIBRARY, RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) return nullptr;
  static OdbcApi api;
  const bool complete =
      Find(library, "SQLAllocHandle", api.allocHandle) && Find(library, "SQLFreeHandle", api.freeHandle) &&
      Find(library, "SQLSetEnvAttr", api.setEnvAttr) && Find(library, "SQLSetConnectAttrW", api.setConnectAttr) &&
      Find(library, "SQLGetConnectAttrW", api.getConnectAttr) &&
      Find(library, "SQLDriverConnectW", api.driverConnect) && Find(library, "SQLDisconnect", api.disconnect) &&
      Find(library, "SQLGetDiagRecW", api.getDiagRec) && Find(library, "SQLGetInfoW", api.getInfo) &&
      Find(library, "SQLEndTran", api.endTran) && Find(library, "SQLPrepareW", api.prepare) &&
      Find(library, "SQLExecute", api.execute) && Find(library, "SQLExecDirectW", api.execDirect) &&
      Find(library, "SQLNumResultCols", api.numResultCols) && Find(library, "SQLDescribeColW", api.describeCol) &&
      Find(library, "SQLColAttributeW", api.colAttribute) && Find(library, "SQLBindParameter", api.bindParameter) &&
      Find(library, "SQLFetch", api.fetch) && Find(library, "SQLGetData", api.getData) &&
      Find(library, "SQLFreeStmt", api.freeStmt) && Find(library, "SQLCloseCursor", api.closeCursor) &&
      Find(library, "SQLRowCount", api.rowCount) && Find(library, "SQLSetStmtAttrW", api.setStmtAttr) &&
      Find(library, "SQLTablesW", api.tables) && Find(library, "SQLColumnsW", api.columns) &&
      Find(library, "SQLStatisticsW", api.statistics) && Find(library, "SQLPrimaryKeysW", api.primaryKeys) &&
      Find(library, "SQLForeignKeysW", api.foreignKeys) && Find(library, "SQLMoreResults", api.moreResults) &&
      Find(library, "SQLDescribeParam", api.describeParam);
  return complete ? &api : nullptr;
}

std::once_flag loadOnce;
const OdbcApi* loaded = nullptr;

constexpr char16_t kReplacement = 0xFFFD;

}  // namespace

const OdbcApi& Odbc() {
  std::call_once(loadOnce, [] { loaded = Load(); });
  if (loaded == nullptr) RaiseDaoError(kNoInstallableIsam, {}, "DAO.Workspace");
  return *loaded;
}

bool OdbcLoaded() {
  void* library = dlopen(LUMO_ODBC_LIBRARY, RTLD_NOW | RTLD_LOCAL | RTLD_NOLOAD);
  if (library == nullptr) return false;
  dlclose(library);
  return true;
}

bool Succeeded(SQLRETURN result) { return result == SQL_SUCCESS || result == SQL_SUCCESS_WITH_INFO; }

std::u16string ToWide(std::string_view text) {
  std::u16string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    const auto lead = static_cast<unsigned char>(text[i]);
    char32_t code = 0;
    size_t length = 0;
    if (lead < 0x80) {
      code = lead;
      length = 1;
    } else if ((lead & 0xE0) == 0xC0) {
      code = lead & 0x1F;
      length = 2;
    } else if ((lead & 0xF0) == 0xE0) {
      code = lead & 0x0F;
      length = 3;
    } else if ((lead & 0xF8) == 0xF0) {
      code = lead & 0x07;
      length = 4;
    }
    bool valid = length > 0 && i + length <= text.size();
    for (size_t k = 1; valid && k < length; ++k) {
      const auto next = static_cast<unsigned char>(text[i + k]);
      if ((next & 0xC0) != 0x80) {
        valid = false;
        break;
      }
      code = (code << 6) | (next & 0x3F);
    }
    // Overlong forms, surrogates and values beyond Unicode are not text.
    static constexpr char32_t kSmallest[] = {0, 0, 0x80, 0x800, 0x10000};
    if (valid && (code < kSmallest[length] || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF))) valid = false;
    if (!valid) {
      out.push_back(kReplacement);
      ++i;
      continue;
    }
    if (code >= 0x10000) {
      code -= 0x10000;
      out.push_back(static_cast<char16_t>(0xD800 + (code >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (code & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(code));
    }
    i += length;
  }
  return out;
}

void AppendUtf8(std::u16string_view text, std::string& out) {
  for (size_t i = 0; i < text.size(); ++i) {
    char32_t code = text[i];
    if (code >= 0xD800 && code <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
      code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
      ++i;
    } else if (code >= 0xD800 && code <= 0xDFFF) {
      code = kReplacement;
    }
    if (code < 0x80) {
      out.push_back(static_cast<char>(code));
    } else if (code < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (code >> 6)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else if (code < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (code >> 12)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (code >> 18)));
      out.push_back(static_cast<char>(0x80 | ((code >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((code >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (code & 0x3F)));
    }
  }
}

std::string ToUtf8(std::u16string_view text) {
  std::string out;
  out.reserve(text.size());
  AppendUtf8(text, out);
  return out;
}

}  // namespace lumo::jet::odbc

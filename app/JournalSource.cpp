#include "app/JournalSource.h"

#include <vector>

#include "dao/database/LumoDaoDataBase.h"
#include "runtime/Exceptions.h"
#include "runtime/IniFile.h"
#include "runtime/StrUtils.h"

namespace lumo {

namespace {

constexpr const char* kFileType = "Access";
constexpr const char* kServerType = "ODBC";
constexpr const char* kDefaultFile = "logon1.mdb";

// The parts of a connect text between its ";", a value in braces kept whole (it may hold ";").
std::vector<std::string> ConnectParts(const std::string& text) {
  std::vector<std::string> parts;
  std::string part;
  bool braced = false;
  for (char c : text) {
    if (c == ';' && !braced) {
      parts.push_back(part);
      part.clear();
      continue;
    }
    if (c == '{' && !part.empty() && part.back() == '=') braced = true;
    if (c == '}') braced = false;
    part += c;
  }
  if (!part.empty()) parts.push_back(part);
  return parts;
}

bool IsPasswordPart(const std::string& part) {
  const size_t equals = part.find('=');
  if (equals == std::string::npos) return false;
  const std::string key = Trim(part.substr(0, equals));
  return SameText(key, "PWD") || SameText(key, "PASSWORD");
}

}  // namespace

TJournalSource ReadJournalSource(const std::string& iniPath) {
  const std::string type = Trim(GetPrivateProfileString("db", "type", "", iniPath));
  TJournalSource source;
  if (type.empty() || SameText(type, kFileType)) {
    source.databaseType = kFileType;
    source.database = GetPrivateProfileString("db", "main", kDefaultFile, iniPath);
    return source;
  }
  if (!SameText(type, kServerType)) {
    throw EDatabaseError(
        iniPath + ": [db] type=" + type +
        " is no type the journal writes to: Access (a database file, the default) or ODBC (a data "
        "source on a server)");
  }
  source.databaseType = kServerType;
  const std::string main = Trim(GetPrivateProfileString("db", "main", "", iniPath));
  if (main.empty()) {
    source.database = kDefaultJournalSource;
  } else if (StartsText("odbc;", main)) {
    source.database = main;
  } else if (main.find('=') != std::string::npos) {
    // A connect text without the type in front: the component takes only "ODBC;..." for one,
    // anything else for the name of a data source.
    source.database = std::string(kServerType) + ";" + main;
  } else {
    source.database = main;
  }
  return source;
}

void ApplyJournalSource(TLumoDaoDatabase& database, const TJournalSource& source,
                        const std::string& user) {
  // The type first: setting it clears the database.
  database.F_Set_DatabaseType(source.databaseType);
  if (!source.OnServer()) {
    database.F_Set_Database(source.database);
    return;
  }
  // The server login goes into the connect text. The component's own user name stays the
  // engine's account (Admin): it also logs the workspace in, which knows no other user, and for
  // a data source name it would become the server login of every workstation.
  std::string connect = StartsText("odbc;", source.database)
                            ? source.database
                            : std::string(kServerType) + ";DSN=" + source.database;
  bool namesLogin = false;
  for (const std::string& part : ConnectParts(connect)) {
    const size_t equals = part.find('=');
    if (equals != std::string::npos && SameText(Trim(part.substr(0, equals)), "UID"))
      namesLogin = true;
  }
  if (!namesLogin) {
    if (!connect.empty() && connect.back() != ';') connect += ';';
    // No password of the journal's own: the driver finds the user's (~/.pgpass) or needs none.
    connect += "UID=" + user + ";PWD=;";
  }
  database.F_Set_Database(connect);
}

std::string JournalSourceText(const TJournalSource& source) {
  if (!source.OnServer()) return source.database;
  std::string text;
  for (const std::string& part : ConnectParts(source.database)) {
    if (IsPasswordPart(part)) continue;
    if (!text.empty()) text += ';';
    text += part;
  }
  return text;
}

}  // namespace lumo

#pragma once
// Where the journal keeps its rows, as section [db] of its INI file names them:
//
//   [db]
//   main=/var/lib/logonjournal/logon.mdb     a database file (the default type, Access)
//
//   [db]
//   type=ODBC                                a data source on a server, for many workstations
//   main=logonjournal                        its name (the default), or a connect text:
//                                            ODBC;DSN=logonjournal;... or DSN=logonjournal;...
//
// An INI file without `type` names a file, as it always did. On a server the journal logs in
// as the user it runs as: the server's rules (app/schema/logon-postgresql.sql) let each user
// add and stamp rows of their own name only. No password is written into the INI file, which
// everyone may read: the driver finds it where the user keeps it (~/.pgpass for PostgreSQL),
// or logs in without one (GSSAPI).

#include <string>

namespace lumo {

class TLumoDaoDatabase;

struct TJournalSource {
  std::string databaseType;  // "Access" or "ODBC", as the database component names them
  std::string database;      // the file path, a data source name or an "ODBC;" connect text

  bool OnServer() const { return databaseType == "ODBC"; }
};

// The default data source name of a journal on a server.
inline constexpr const char* kDefaultJournalSource = "logonjournal";

// The source section [db] of `iniPath` names. A type other than Access or ODBC (any case) is
// refused with an EDatabaseError that names the INI file and the two types.
TJournalSource ReadJournalSource(const std::string& iniPath);

// Sets the database component up for `source`: its type and database, for a server a connect
// text that logs in as `user` without a password of the journal's own, unless it names a login
// (UID=) itself.
void ApplyJournalSource(TLumoDaoDatabase& database, const TJournalSource& source,
                        const std::string& user);

// The source as a message may show it: the file path, or the data source or connect text with
// the values of PWD= and PASSWORD= left out (the message may reach the system log).
std::string JournalSourceText(const TJournalSource& source);

}  // namespace lumo

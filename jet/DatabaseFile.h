#pragma once
// One open database file: the SQLite connection, the cache of prepared statements, the
// catalogue, and how the file was opened. Shared (std::shared_ptr) by the Database object and
// every recordset, query definition and table definition made from it, so that a recordset
// still closes cleanly after its database was closed (it then answers 3420).
//
// Opening: a missing file answers 3024, a folder or unreadable file 3051/3044, a file that
// is not SQLite 3343; the password of a protected file is checked against the connect
// text's PWD= (3031); an exclusive open takes SQLite's exclusive locking mode (another
// process then answers 3045/3356), a read-only open refuses writes with 3027.
// Files the engine creates use WAL, synchronous=FULL and a busy timeout; every connection
// sets the busy timeout and registers the Jet SQL functions.

#include <map>
#include <memory>
#include <string>

#include "jet/Catalogue.h"
#include "jet/sqlite/SqliteConnection.h"
#include "jet/sqlite/SqliteStatement.h"

namespace lumo::jet {

struct OpenOptions {
  bool exclusive = false;
  bool readOnly = false;
  std::string password;  // the connect text's PWD=
};

class DatabaseFile {
 public:
  // Opens an existing file.
  static std::shared_ptr<DatabaseFile> Open(const std::string& path, const OpenOptions& options);
  // Makes a new, empty file (3204 when it exists) with the engine's system tables.
  static std::shared_ptr<DatabaseFile> Create(const std::string& path, const std::string& locale,
                                              int options);

  DatabaseFile(const DatabaseFile&) = delete;
  DatabaseFile& operator=(const DatabaseFile&) = delete;

  const std::string& Path() const { return path_; }
  bool ReadOnly() const { return options_.readOnly; }
  bool Exclusive() const { return options_.exclusive; }
  // Raises 3027 when the file was opened read-only.
  void CheckWritable() const;

  SqliteConnection& Connection() { return connection_; }
  // A prepared statement for this SQL text, prepared once and reused; it comes back reset
  // with its bindings cleared. Valid while the file is open.
  SqliteStatement& Statement(const std::string& sql);
  Catalogue& Schema() { return catalogue_; }

  // Idle(dbFreeLocks): ends a read transaction the engine holds; Idle(dbRefreshCache): drops
  // cached schema and statements.
  void Idle(int action);
  void Close();
  bool IsOpen() const { return open_; }

 private:
  DatabaseFile(std::string path, OpenOptions options, SqliteConnection connection);

  std::string path_;
  OpenOptions options_;
  SqliteConnection connection_;  // declared before the statements that use it
  std::map<std::string, std::unique_ptr<SqliteStatement>> statements_;
  Catalogue catalogue_;
  bool open_ = true;
};

}  // namespace lumo::jet

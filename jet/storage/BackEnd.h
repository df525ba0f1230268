#pragma once
// The storage back-ends the engine can open databases with, keyed by the type a connect text
// names. Workspace::OpenDatabase asks BackEndFor(type) and hands the back-end to DatabaseFile,
// which opens or creates the database through it and from then on works on the connection
// alone. The file back-end (SQLite) answers for no type and for "MS Access", Jet's own.
//
// Errors: BackEndFor raises 3170 ("Could not find installable ISAM.") for a type no back-end
// is registered under. A back-end's Open answers 3024 for a missing database, 3051 when it is
// refused (permissions, or held exclusively elsewhere), 3343 for one not in its format, 3045
// for an exclusive open of a database in use; Create answers 3204 when the database exists.

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "jet/storage/Connection.h"
#include "jet/storage/RowWriter.h"
#include "jet/storage/SchemaWriter.h"

namespace lumo::jet {

class DatabaseFile;

namespace storage {

// How a connection is to be opened and set up.
struct ConnectionSettings {
  std::string path;
  bool exclusive = false;  // keep everyone else out until the connection closes
  bool readOnly = false;   // refuse every write (3027)
  int busyTimeoutMs = 0;   // the wait for another session's lock once open
  int loginTimeoutS = 20;  // a server's: the wait for it to take the login (0: no limit)
  // @@IDENTITY of the session, which the back-end's SQL answers (SELECT @@IDENTITY); shared
  // with the databases of the session.
  std::shared_ptr<int64_t> identity;
};

class BackEnd {
 public:
  virtual ~BackEnd() = default;

  // Opens an existing database.
  virtual std::shared_ptr<Connection> Open(const ConnectionSettings& settings) = 0;
  // Makes a new, empty database and opens it; the caller adds the engine's system tables.
  virtual std::shared_ptr<Connection> Create(const ConnectionSettings& settings) = 0;
  // Removes what a Create that failed halfway left behind, so that nothing half-made stays.
  virtual void Discard(const std::string& path) noexcept = 0;
  // A second, read-only connection to a database `session` has open, set up as `settings`
  // say, for a long scan beside the session; null when the back-end cannot give one without
  // holding up the session's writers.
  virtual std::unique_ptr<Connection> OpenScan(Connection& session, const ConnectionSettings& settings) = 0;
  // The writer of schema changes to `file` (open through this back-end); `source` names the
  // DAO object its errors come from.
  virtual std::unique_ptr<SchemaWriter> MakeSchemaWriter(DatabaseFile& file, std::string source) = 0;
  // The writer of single rows to the base tables of `file` (open through this back-end).
  virtual std::unique_ptr<RowWriter> MakeRowWriter(DatabaseFile& file) = 0;

  // Whether the back-end's databases are files of the engine's: named by a path (two paths
  // may name one file), carrying the engine's own tables (MSys...) for what the back-end's
  // schema cannot hold: query definitions, properties, object dates, the database password,
  // row counts. A server's databases are not: a connect text names them, their
  // administrators decide what they hold, and the server checks who logs in.
  virtual bool OwnsDatabases() const noexcept { return true; }
};

// Registers (or replaces) the back-end for a connect text type; the type compares without
// regard to case.
void RegisterBackEnd(std::string_view type, std::shared_ptr<BackEnd> backEnd);
// The back-end for `type` ("" for a plain file path); raises 3170 when there is none.
std::shared_ptr<BackEnd> BackEndFor(std::string_view type);

// The back-end for databases that are files (no type, or "MS Access"), built into the engine;
// BackEndFor registers it on first use unless those types were registered already. Defined
// beside the back-end itself.
std::shared_ptr<BackEnd> MakeFileBackEnd();

}  // namespace storage
}  // namespace lumo::jet

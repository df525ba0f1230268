#pragma once
// One open database: the storage connection, the cache of prepared statements, the
// catalogue, and how the database was opened. Shared (std::shared_ptr) by the Database object and
// every recordset, query definition and table definition made from it, so that a recordset
// still closes cleanly after its database was closed (it then answers 3420).
//
// Opening goes through the storage back-end the connect text's type names (storage/BackEnd.h;
// a plain file is the SQLite back-end's): a missing file answers 3024, a folder or unreadable
// file 3051, a file not in the back-end's format 3343, an unknown type 3170; the password of a
// protected database is checked against the connect text's PWD= (3031). An exclusive open
// holds the database until Close: it answers 3045 while anyone else has it open, and others
// answer 3051 while it is held. A read-only open refuses writes with 3027.
//
// One workspace is one session: a second Database a workspace opens on a file it has open
// already goes through the same connection (OpenInSession), so that both see what the other
// wrote and write in the same transaction, where separate connections would wait for each
// other's lock. Each keeps its own statements, catalogue and open flags; the connection
// closes with the last of them.
//
// Not thread-safe: one thread per component graph.

#include <map>
#include <memory>
#include <optional>
#include <string>

#include "jet/Catalogue.h"
#include "jet/storage/BackEnd.h"
#include "jet/storage/Connection.h"
#include "jet/storage/StatementCache.h"

namespace lumo::jet {

struct OpenOptions {
  bool exclusive = false;
  bool readOnly = false;
  std::string password;  // the connect text's PWD=
  std::string type;      // the connect text's back-end type ("" for a file)
  int loginTimeoutS = 20;  // a server's: the engine's LoginTimeout when the source was opened
};

// How long a connection waits for another process's lock before the engine answers a
// locking error (3218/3260 on writes, 3051 at open).
inline constexpr int kDefaultBusyTimeoutMs = 5000;

// The first `bytes` bytes of any file (fewer when it is shorter; empty when it cannot be read),
// read without disturbing this process's connections to it: a plain descriptor opened and
// closed on a file drops every POSIX lock the process holds there, SQLite's own do not.
std::string ReadFileHeader(const std::string& path, size_t bytes);

class DatabaseFile : public std::enable_shared_from_this<DatabaseFile> {
 public:
  // Opens an existing database through the back-end for options.type.
  static std::shared_ptr<DatabaseFile> Open(const std::string& path, const OpenOptions& options);
  // Opens the file `open` has open through open's connection, when the two may share it:
  // neither exclusive, both read-only or both not (a read-only open keeps a connection that
  // refuses writes). Null when they may not; the password is checked as by Open (3031).
  static std::shared_ptr<DatabaseFile> OpenInSession(const std::shared_ptr<DatabaseFile>& open,
                                                     const OpenOptions& options);
  // Makes a new, empty file (3204 when it exists) with the engine's system tables. `locale`
  // is CreateDatabase's text (dbLangGeneral ...), whose ";pwd=x" part sets a database
  // password; `options` are dbVersion.../dbEncrypt bits (accepted, nothing to choose).
  static std::shared_ptr<DatabaseFile> Create(const std::string& path, const std::string& locale, int options);
  ~DatabaseFile();

  DatabaseFile(const DatabaseFile&) = delete;
  DatabaseFile& operator=(const DatabaseFile&) = delete;

  const std::string& Path() const { return path_; }
  // Whether the database is one of the engine's files (storage::BackEnd::OwnsDatabases): it
  // has the engine's own tables, a password of its own, and is known by its path. A server's
  // database has none of these.
  bool OwnedByEngine() const { return backEnd_->OwnsDatabases(); }
  bool ReadOnly() const { return options_.readOnly; }
  bool Exclusive() const { return options_.exclusive; }
  // Raises 3027 when the file was opened read-only, 3420 when it is closed.
  void CheckWritable() const;

  // The connection; 3420 once the file is closed.
  storage::Connection& Connection();
  // The same, shared with the other files of the session (null once closed): a workspace
  // keeps it to end its transaction there even after this file closed.
  std::shared_ptr<storage::Connection> SessionConnection() const { return connection_; }
  // A prepared statement for this SQL text, prepared once and reused; it comes back reset
  // with its bindings cleared. Valid while the file is open. A statement still being stepped
  // by one user must not be requested again by another: callers that keep a statement
  // across calls (scans) prepare their own.
  storage::Statement& Statement(const std::string& sql);
  Catalogue& Schema() { return catalogue_; }
  // A statement of its own for this SQL text. When the back-end does not know a name in it
  // and `unknownName` is given, the name comes back there (and nullptr) instead of the error,
  // so that the caller can take it for a parameter as Jet does; nothing reaches
  // DBEngine.Errors then. Other failures raise as usual.
  std::unique_ptr<storage::Statement> Prepare(const std::string& sql, std::string* unknownName = nullptr);
  // A read-only connection of its own to the same database, set up as the session's is, for a
  // long scan that must not hold the session's snapshot; null when the back-end cannot give
  // one beside the session (the file is held exclusively, or its readers would block writers).
  std::unique_ptr<storage::Connection> OpenScanConnection();
  // The writer of schema changes to this database, for one change or a few; `source` names the
  // DAO object its errors come from.
  std::unique_ptr<storage::SchemaWriter> SchemaChanges(std::string source);
  // The back-end's writer of single rows (the recordsets' Update and Delete).
  std::unique_ptr<storage::RowWriter> RowWriter();
  // After an insert into `table` (by Execute or a recordset's Update): when the table has a
  // counter, the counter of the row the connection added last becomes @@IDENTITY.
  void NoteInsert(const std::string& table);
  // The counter value a row writer read back from the row it added becomes @@IDENTITY.
  void NoteIdentity(int64_t counter) { *identity_ = counter; }

  // The busy timeout of the connection (Database.QueryTimeout sets it in seconds).
  int BusyTimeoutMs() const { return busyTimeoutMs_; }
  void SetBusyTimeoutMs(int milliseconds);
  // Database.QueryTimeout: the wait for another session's lock (0: the engine's default
  // wait), and on a server also how long a statement may run (0: without limit).
  void SetQueryTimeout(int seconds);

  // The database password (empty when none, always on a server, whose logins the server
  // checks); NewPassword changes it (3031 when `oldPassword` is not the current one, 3251 on
  // a server).
  std::string Password();
  void NewPassword(const std::string& oldPassword, const std::string& newPassword);

  // Idle(dbFreeLocks): nothing is held between calls (statements are reset after use), so
  // only the catalogue matters; Idle(dbRefreshCache): drops the cached schema, and the rows
  // recordsets read before it count as stale (CacheEpoch moves on).
  void Idle(int action);
  // Grows with every Idle(dbRefreshCache): a row read under an older epoch is read again
  // before it is served.
  uint64_t CacheEpoch() const noexcept { return cacheEpoch_; }
  void Close();
  bool IsOpen() const { return connection_ != nullptr; }

 private:
  DatabaseFile(std::string path, OpenOptions options, std::shared_ptr<storage::BackEnd> backEnd);
  storage::ConnectionSettings Settings() const;
  void CheckPassword();

  std::string path_;
  OpenOptions options_;
  int busyTimeoutMs_ = kDefaultBusyTimeoutMs;
  // @@IDENTITY; shared with the functions registered on every connection to the file, and
  // with the other files of the session.
  std::shared_ptr<int64_t> identity_ = std::make_shared<int64_t>(0);
  uint64_t cacheEpoch_ = 0;
  std::shared_ptr<storage::BackEnd> backEnd_;
  std::shared_ptr<storage::Connection> connection_;  // declared before the statements that use it
  storage::StatementCache statements_;
  Catalogue catalogue_;
};

// One engine write (an Update, an Execute, a DDL change): a transaction of its own, or a
// savepoint when the workspace already holds a transaction on this connection. Rolled back
// at destruction unless committed. Raises 3027 on a read-only file; a lock held elsewhere
// beyond the busy timeout answers 3218/3260.
class WriteScope {
 public:
  explicit WriteScope(DatabaseFile& file);
  ~WriteScope();
  WriteScope(const WriteScope&) = delete;
  WriteScope& operator=(const WriteScope&) = delete;

  void Commit();

 private:
  storage::Connection& connection_;
  bool savepoint_ = false;
  bool open_ = true;
};

}  // namespace lumo::jet

#pragma once
// The SQLite back-end: databases that are SQLite files. Opening checks the file before SQLite
// sees it (SQLite would take a missing file or a folder for "unable to open" and an empty or
// foreign file for a new database), takes the exclusive lock for an exclusive open, probes the
// format with a first read, and sets every connection up alike: the engine's SQL functions
// (with the session's @@IDENTITY), the busy timeout, synchronous=FULL, query_only for a
// read-only open. Files it creates use WAL, so that many journal writers and readers share
// the file, and synchronous=FULL, so that every commit survives a crash.

#include <memory>
#include <string>

#include "jet/storage/BackEnd.h"

namespace lumo::jet {

class SqliteConnection;

class SqliteBackEnd final : public storage::BackEnd {
 public:
  std::shared_ptr<storage::Connection> Open(const storage::ConnectionSettings& settings) override;
  std::shared_ptr<storage::Connection> Create(const storage::ConnectionSettings& settings) override;
  void Discard(const std::string& path) noexcept override;
  std::unique_ptr<storage::Connection> OpenScan(storage::Connection& session,
                                                const storage::ConnectionSettings& settings) override;
  std::unique_ptr<storage::SchemaWriter> MakeSchemaWriter(DatabaseFile& file, std::string source) override;
  std::unique_ptr<storage::RowWriter> MakeRowWriter(DatabaseFile& file) override;

  // The engine's functions on a connection: the Jet functions and jet_identity(), which
  // answers SELECT @@IDENTITY from `identity`.
  static void RegisterFunctions(SqliteConnection& connection, const std::shared_ptr<int64_t>& identity);
};

}  // namespace lumo::jet

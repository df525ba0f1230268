#include "jet/odbc/OdbcBackEnd.h"

#include "jet/DaoErrors.h"
#include "jet/odbc/OdbcConnection.h"

namespace lumo::jet::odbc {

namespace {

class OdbcBackEnd final : public storage::BackEnd {
 public:
  std::shared_ptr<storage::Connection> Open(const storage::ConnectionSettings& settings) override {
    return std::make_shared<OdbcConnection>(settings.path, settings.readOnly, settings.busyTimeoutMs);
  }

  std::shared_ptr<storage::Connection> Create(const storage::ConnectionSettings& settings) override {
    (void)settings;
    RaiseDaoError(kDaoNotSupported);
  }

  // Create makes nothing, so nothing is left to remove.
  void Discard(const std::string& path) noexcept override { (void)path; }

  // A session of its own on the same source: a server serves a long read beside the
  // session's writes without holding them up.
  std::unique_ptr<storage::Connection> OpenScan(storage::Connection& session,
                                                const storage::ConnectionSettings& settings) override {
    return std::make_unique<OdbcConnection>(session.Path(), true, settings.busyTimeoutMs);
  }

  std::unique_ptr<storage::RowWriter> MakeRowWriter(DatabaseFile& file) override {
    // The server's row writer (INSERT ... RETURNING the key, writes by primary key with the
    // optimistic check) is not built yet; recordsets on a server cannot write rows.
    (void)file;
    RaiseDaoError(kDaoNotSupported, {}, "DAO.Recordset");
  }

  std::unique_ptr<storage::SchemaWriter> MakeSchemaWriter(DatabaseFile& file, std::string source) override {
    // The server's schema writer (tables, indexes and relations in the server's DDL) is not
    // built yet; schema changes on a server answer that they are not supported.
    (void)file;
    RaiseDaoError(kDaoNotSupported, {}, std::move(source));
  }
};

}  // namespace

std::shared_ptr<storage::BackEnd> MakeOdbcBackEnd() { return std::make_shared<OdbcBackEnd>(); }

}  // namespace lumo::jet::odbc

#include "jet/odbc/OdbcBackEnd.h"

#include <mutex>

#include "jet/DaoErrors.h"
#include "jet/odbc/OdbcConnection.h"
#include "jet/odbc/OdbcRowWriter.h"
#include "jet/odbc/OdbcSchemaWriter.h"

namespace lumo::jet::odbc {

namespace {

// The driver's keywords for reading a result through a cursor, and the rows of each block.
constexpr const char* kScanOptions = "UseDeclareFetch=1;Fetch=1000";

class OdbcBackEnd final : public storage::BackEnd {
 public:
  bool OwnsDatabases() const noexcept override { return false; }

  std::shared_ptr<storage::Connection> Open(const storage::ConnectionSettings& settings) override {
    return std::make_shared<OdbcConnection>(settings.path, settings.readOnly, settings.busyTimeoutMs,
                                            settings.loginTimeoutS);
  }

  std::shared_ptr<storage::Connection> Create(const storage::ConnectionSettings& settings) override {
    (void)settings;
    RaiseDaoError(kDaoNotSupported);
  }

  // Create makes nothing, so nothing is left to remove.
  void Discard(const std::string& path) noexcept override { (void)path; }

  // A session of its own on the same source: a server serves a long read beside the
  // session's writes without holding them up. Not while the session is in a transaction,
  // whose own writes the scan must see; with the session's time-out for its statements.
  //
  // The scan's rows come through a server cursor, a block at a time: by default the driver
  // reads a statement's whole result into memory when it runs, which for a table of a
  // million rows is hundreds of megabytes before the first row is seen. The cursor lives in
  // the scan session's own transaction, which sees the rows as they were when it began.
  std::unique_ptr<storage::Connection> OpenScan(storage::Connection& session,
                                                const storage::ConnectionSettings& settings) override {
    if (session.InTransaction()) return nullptr;
    auto scan = std::make_unique<OdbcConnection>(session.Path() + ";" + kScanOptions, true, settings.busyTimeoutMs,
                                                 settings.loginTimeoutS);
    if (const auto* odbc = dynamic_cast<const OdbcConnection*>(&session)) scan->SetQueryTimeout(odbc->QueryTimeout());
    return scan;
  }

  std::unique_ptr<storage::RowWriter> MakeRowWriter(DatabaseFile& file) override { return MakeOdbcRowWriter(file); }

  std::unique_ptr<storage::SchemaWriter> MakeSchemaWriter(DatabaseFile& file, std::string source) override {
    return MakeOdbcSchemaWriter(file, std::move(source));
  }
};

}  // namespace

std::shared_ptr<storage::BackEnd> MakeOdbcBackEnd() { return std::make_shared<OdbcBackEnd>(); }

void RegisterOdbcBackEnd() {
  static std::once_flag once;
  std::call_once(once, [] { storage::RegisterBackEnd("ODBC", MakeOdbcBackEnd()); });
}

}  // namespace lumo::jet::odbc

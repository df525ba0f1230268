#include "jet/Connection.h"

#include <mutex>

#include "jet/DaoErrors.h"

namespace lumo::jet {

namespace {

constexpr int kNoInstallableIsam = 3170;

// Process-wide, set once by the back-end; component graphs run on threads of their own.
struct ConnectorSlot {
  std::mutex lock;
  DirectConnector connector;
};

ConnectorSlot& Slot() {
  static ConnectorSlot slot;
  return slot;
}

}  // namespace

Connection::Connection(Tag, std::shared_ptr<DatabaseFile> file, std::string name, std::string connect,
                       std::shared_ptr<DirectStatements> direct)
    : jet::Database(std::move(file), std::move(name), std::move(connect), std::move(direct)) {}

std::shared_ptr<Connection> Connection::Make(std::shared_ptr<DatabaseFile> file, std::string name, std::string connect,
                                             bool readOnly, std::shared_ptr<DirectStatements> direct) {
  (void)readOnly;  // the file was opened read-only: Updatable follows it
  auto connection =
      std::make_shared<Connection>(Tag{}, std::move(file), std::move(name), std::move(connect), std::move(direct));
  connection->self_ = connection;
  connection->SetConnection(connection);
  return connection;
}

std::shared_ptr<jet::Database> Connection::Database() {
  CheckValid();
  return self_.lock();
}

bool Connection::Transactions() const {
  CheckValid();
  return true;
}

bool Connection::StillExecuting() const {
  CheckValid();
  return false;
}

void Connection::Cancel() { CheckValid(); }

void RegisterDirectConnector(DirectConnector connector) {
  ConnectorSlot& slot = Slot();
  std::lock_guard<std::mutex> guard(slot.lock);
  slot.connector = std::move(connector);
}

std::shared_ptr<Connection> ConnectDirect(const DirectConnectRequest& request) {
  DirectConnector connector;
  {
    ConnectorSlot& slot = Slot();
    std::lock_guard<std::mutex> guard(slot.lock);
    connector = slot.connector;
  }
  if (!connector) RaiseDaoError(kNoInstallableIsam, {}, "DAO.Workspace");
  return connector(request);
}

}  // namespace lumo::jet

#pragma once
// ODBC direct connections (jet/Connection.h) over the ODBC back-end: the connector that
// Workspace.OpenConnection reaches, the statements that pass the server's SQL through, and
// the row engine of their recordsets.
//
//   Execute         the text as written, on the session's connection; a query answers 3065;
//                   inside a workspace transaction a failing statement is undone alone (a
//                   savepoint), so that the transaction stays usable; RecordsAffected from
//                   the driver's row count. The time-out is the statement's
//                   (SQL_ATTR_QUERY_TIMEOUT): a statement still running then is stopped by
//                   the server and answers 3146 with its message.
//   OpenRecordset   forward-only (the default), snapshot, dynaset or dynamic; MaxRecords is
//                   the statement's row limit (SQL_ATTR_MAX_ROWS). A dynaset or dynamic
//                   recordset whose columns all come from one table with a primary key, the
//                   key among them, keeps the key of each row and reads the row again by it
//                   whenever the cursor lands there; such a recordset is updatable unless
//                   opened read-only (the default lock type of a direct connection) and is
//                   always optimistic, as ODBC data is: Update checks that the row is as Edit
//                   read it (3197 otherwise). Any other query opens read-only with its rows
//                   kept as read.

#include <memory>

#include "jet/Connection.h"

namespace lumo::jet::odbc {

class OdbcConnection;

// Registers the connector for direct connections and the ODBC back-end they open their
// sessions through (RegisterOdbcBackEnd). Safe to call more than once.
void RegisterDirectConnections();

// A direct connection as OpenConnection makes it: raises 3151 with the driver's message
// when the source cannot be reached.
std::shared_ptr<Connection> OpenDirectConnection(const DirectConnectRequest& request);

}  // namespace lumo::jet::odbc

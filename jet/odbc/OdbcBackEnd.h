#pragma once
// The storage back-end for connect texts of the type "ODBC": databases on a server, reached
// through the driver manager and the server's ODBC driver. The path a database is opened
// with is the connect text ("ODBC;DSN=...;UID=...;PWD=..." or the same without "ODBC;").
//
// A server database is made and dropped by its administrators, never by the engine: Create
// answers 3251. A server is shared by design, so an exclusive open is an ordinary one; a
// read-only open makes the session refuse writes (3027).

#include <memory>

#include "jet/storage/BackEnd.h"

namespace lumo::jet::odbc {

std::shared_ptr<storage::BackEnd> MakeOdbcBackEnd();

}  // namespace lumo::jet::odbc

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

// Registers the back-end under the type "ODBC" (once; later calls change nothing). The
// engine cannot do it itself: this library is built on the engine, not the engine on it.
// Whoever makes engines for programs and links both calls it before the first open: the
// database component with the engine's classes (dao/database), the database shell, tests.
// Linking the back-end costs a program nothing until an ODBC source is opened: the driver
// manager is loaded then (OdbcApi.h).
void RegisterOdbcBackEnd();

}  // namespace lumo::jet::odbc

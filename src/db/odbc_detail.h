#pragma once

// Helpers shared by the ODBC layer's own sources; not part of the module's
// interface (it is the only header here that includes the ODBC headers).

#if defined(_WIN32)
// Windows' ODBC headers build on the types of <windows.h> without including it.
#include <windows.h>
#endif
#include <sql.h>
#include <sqlext.h>

#include <string>

#include "db/odbc.h"

namespace lorvex::db::detail {

// The diagnostic records of a handle as a DbError; fallback names the call
// when the driver left no record.
DbError MakeError(SQLSMALLINT handleType, SQLHANDLE handle, const char* fallback);

// Throws the handle's diagnostics unless the call succeeded (SQL_NO_DATA,
// e.g. a DELETE that matched no row, counts as success).
void Check(SQLRETURN ret, SQLSMALLINT handleType, SQLHANDLE handle, const char* call);

// Reads a character column of the current row whole, in as many pieces as
// it takes. Returns false for NULL. The text is as the driver returns it.
bool GetCharData(SQLHSTMT statement, SQLUSMALLINT column, std::string& out);

// Allocates a statement on an open connection.
OdbcHandle AllocateStatement(SQLHDBC connection);

bool StartsWithSelect(const std::string& sql);

}  // namespace lorvex::db::detail

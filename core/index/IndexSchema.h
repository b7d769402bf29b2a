// The trips index's tables in plain SQL, one statement per entry, for SQLite and PostgreSQL.
// The version is kept in the index_meta table; an index of another version is built again.
#pragma once

#include <string>
#include <vector>

inline constexpr int kIndexSchemaVersion = 1;

enum class SqlDialect { Sqlite, Postgres };

std::vector<std::string> IndexSchemaStatements(SqlDialect dialect);
// Tables dropped before an index of another version is built again, in a safe order.
std::vector<std::string> IndexDropStatements(SqlDialect dialect);

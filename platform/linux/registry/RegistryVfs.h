// The file layer under the registry database: the system's own, except that reopening an
// existing write-ahead log does not sync the directory again.
#pragma once

namespace comrt::registry {

// The name to open the database with; registered on first use.
const char* registryVfsName();

} // namespace comrt::registry

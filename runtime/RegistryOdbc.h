#pragma once
// Internal to the registry substitute (Registry.cpp, RegistryOdbc.cpp): the ODBC part of the
// live registry and the path helpers both halves share. Other layers use runtime/Registry.h.

#include <string>
#include <vector>

#include "runtime/Registry.h"

namespace lumo::registry_detail {

// "\SOFTWARE\\ODBC\" -> {"SOFTWARE", "ODBC"}: a leading "\" and empty components are dropped.
std::vector<std::string> SplitRegistryPath(const std::string& path);
// Key and value names compare without regard to ASCII case, as the platform's registry does.
bool SameRegistryName(const std::string& a, const std::string& b);

// Answers the keys under SOFTWARE\ODBC of the current-user and local-machine roots (and the
// keys above them, so that "SOFTWARE" and "SOFTWARE\ODBC" exist) from unixODBC's installer
// API. False when the path is not one of those keys or names no driver / data source.
bool ReadOdbcKey(RegistryRoot root, const std::vector<std::string>& parts, RegistryKeyData& data);

}  // namespace lumo::registry_detail

// Pure text rules of the service host.
#pragma once
#include <string>
#include <vector>

// Key 149 "Tcpip,Afd" as the list CreateService wants: each name
// NUL-terminated, one more NUL at the end.  Empty input: an empty list
// (no dependencies).  Empty names between commas are dropped.
std::wstring dependencyList(const std::wstring& commaSeparated);

// The child's command line: the executable path, the service name, the
// service process's own further arguments, the manager's arguments after
// the first, then the restart marker; each element in double quotes when
// it contains a blank.
std::wstring childCommandLine(const std::vector<std::wstring>& ownArguments, const std::wstring& serviceName,
                              const std::vector<std::wstring>& managerArguments);

// The launcher's log for host tests: every line is formatted (Windows
// format conventions translated to the host's) and kept in memory.
#pragma once
#include <string>
#include <vector>

const std::vector<std::wstring>& hostLogLines();
void clearHostLog();
// True when some logged line contains `text`.
bool hostLogContains(const std::wstring& text);

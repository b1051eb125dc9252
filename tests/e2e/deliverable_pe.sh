#!/usr/bin/env bash
# servicelauncher.exe is a 64-bit console program of at most 200 KiB (static
# and stripped) that needs nothing but Windows' own DLLs, and carries its
# application manifest.  It does not import USER32: that is loaded only to
# show a message box or bring a running instance forward, so that a service
# host takes no share of the session's desktop heap.  Nor does it import
# advapi32 the ordinary way: its registry functions come from kernel32, and
# advapi32 (services, event log) is delay-loaded by the verbs that need it.
set -euo pipefail
exe=${LRX_LAUNCHER:?}
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
fail() { echo "FAIL: $*" >&2; exit 1; }

grep -q 'file format pei-x86-64' <<<"$headers" || fail "not a PE32+ x86-64 image"
grep -Eq '^Subsystem[[:space:]]+0+3[[:space:]]' <<<"$headers" || fail "not a console program"

size=$(stat -c %s "$exe")
limit=$((200 * 1024))
[ "$size" -le "$limit" ] || fail "$size bytes, more than $limit"

# Exactly these, whatever their case: no USER32 (nor gdi32 and the rest it
# would bring along), no C++ runtime or threading DLL.
imports=$(sed -n 's/.*DLL Name: //p' <<<"$headers" | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')
[ "$imports" = "kernel32.dll msvcrt.dll " ] || fail "imports $imports"

# The manifest is stored as plain text in the resource section.  (No
# "grep -q" behind a pipe: with pipefail its early exit fails the pipe.)
text=$(mktemp)
trap 'rm -f "$text"' EXIT
tr -d '\0' < "$exe" > "$text"
grep -aq 'level="asInvoker" uiAccess="false"' "$text" || fail "manifest: asInvoker without UI access"
grep -aq 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' "$text" || fail "manifest: Common-Controls 6"
# The delay-load table names the DLL it loads (objdump does not list it).
grep -aqi 'advapi32\.dll' "$text" || fail "no delay-load table for advapi32.dll"
count=$(grep -ao 'supportedOS Id="{[0-9a-f-]*}"' "$text" | sort -u | wc -l)
[ "$count" -eq 5 ] || fail "manifest: $count supportedOS entries, want Vista to Windows 10 (5)"

echo "imports: $imports+ advapi32.dll delay-loaded ($size bytes)"
echo "PASS"

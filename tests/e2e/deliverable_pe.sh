#!/usr/bin/env bash
# servicelauncher.exe is a 64-bit console program that needs nothing but
# Windows' own DLLs, and carries its application manifest.
set -euo pipefail
exe=${LRX_LAUNCHER:?}
headers=$(x86_64-w64-mingw32-objdump -p "$exe")
fail() { echo "FAIL: $*" >&2; exit 1; }

grep -q 'file format pei-x86-64' <<<"$headers" || fail "not a PE32+ x86-64 image"
grep -Eq '^Subsystem[[:space:]]+0+3[[:space:]]' <<<"$headers" || fail "not a console program"

allowed='^(kernel32|user32|advapi32|ole32|oleaut32|shell32|msvcrt|api-ms-win-.*)\.dll$'
while read -r dll; do
    lower=$(tr 'A-Z' 'a-z' <<<"$dll")
    [[ $lower =~ $allowed ]] || fail "imports $dll"
done < <(sed -n 's/.*DLL Name: //p' <<<"$headers")

# The manifest is stored as plain text in the resource section.  (No
# "grep -q" behind a pipe: with pipefail its early exit fails the pipe.)
text=$(mktemp)
trap 'rm -f "$text"' EXIT
tr -d '\0' < "$exe" > "$text"
grep -aq 'level="asInvoker" uiAccess="false"' "$text" || fail "manifest: asInvoker without UI access"
grep -aq 'name="Microsoft.Windows.Common-Controls" version="6.0.0.0"' "$text" || fail "manifest: Common-Controls 6"
count=$(grep -ao 'supportedOS Id="{[0-9a-f-]*}"' "$text" | sort -u | wc -l)
[ "$count" -eq 5 ] || fail "manifest: $count supportedOS entries, want Vista to Windows 10 (5)"

echo "imports: $(sed -n 's/.*DLL Name: //p' <<<"$headers" | tr '\n' ' ')"
echo "PASS"

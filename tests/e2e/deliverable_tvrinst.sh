#!/usr/bin/env bash
# tvrinst.dll is a 64-bit DLL of at most 256 KiB that needs nothing but
# Windows' own DLLs (the rest is bound at run time) and exports registerNatives and JNI natives of
# its one package, nothing else.
set -euo pipefail
dll=${LRX_TVRINST:?}
headers=$(x86_64-w64-mingw32-objdump -p "$dll")
fail() { echo "FAIL: $*" >&2; exit 1; }

grep -q 'file format pei-x86-64' <<<"$headers" || fail "not a PE32+ x86-64 image"
grep -Eq '^Characteristics.*' <<<"$headers" && grep -q 'DLL' <<<"$(sed -n '/^Characteristics/,/^$/p' <<<"$headers")" \
    || fail "not a DLL"

size=$(stat -c %s "$dll")
limit=$((256 * 1024))
[ "$size" -le "$limit" ] || fail "$size bytes, more than $limit"

allowed='^(kernel32|user32|advapi32|ole32|oleaut32|msvcrt)\.dll$'
while read -r name; do
    lower=$(tr 'A-Z' 'a-z' <<<"$name")
    [[ $lower =~ $allowed ]] || fail "imports $name"
done < <(sed -n 's/.*DLL Name: //p' <<<"$headers")

exports=$(sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' <<<"$headers" | sed -n 's/^\s*\[ *[0-9]*\] //p')
[ -n "$exports" ] || fail "no exports"
grep -qx 'registerNatives' <<<"$exports" || fail "no registerNatives export"
others=$(grep -vx 'registerNatives' <<<"$exports" | grep -v '^Java_com_tavra_runtime_installer_platform_win32_[A-Za-z0-9]*_[A-Za-z0-9_]*$' || true)
[ -z "$others" ] || fail "exports outside the natives: $others"

echo "imports: $(sed -n 's/.*DLL Name: //p' <<<"$headers" | tr '\n' ' ')"
echo "exports: $(wc -l <<<"$exports") ($(stat -c %s "$dll") bytes)"
echo "PASS"

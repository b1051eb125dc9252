#!/usr/bin/env bash
# The packaging tool as users run it: the Windows build's pack.exe under
# Wine.  The sample description packs onto the generic launcher; the packed
# launcher signs with a test certificate, and the signed file still dumps to
# the same description, packs back to the same bytes and still reads its
# block.  Embedded files go out with dump --files and come back with pack.
# Bad input fails with exit code 1, the file and line, and no output file.
#
# Environment (set by ctest): WINEPREFIX, LRX_LAUNCHER (servicelauncher.exe),
# LRX_PACK (pack.exe), LRX_SOURCE_DIR.
set -euo pipefail
: "${WINEPREFIX:?}" "${LRX_LAUNCHER:?}" "${LRX_PACK:?}" "${LRX_SOURCE_DIR:?}"
export WINEPREFIX
export WINEDEBUG=${WINEDEBUG:--all}

work=$(mktemp -d "${TMPDIR:-/tmp}/pack_sign.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"  # relative paths: Wine maps the current directory to a drive
cp "$LRX_LAUNCHER" generic.exe
cp "$LRX_SOURCE_DIR/samples/orvane.launcher" orvane.launcher

fail() { echo "FAIL: $*" >&2; exit 1; }
pack() { wine "$LRX_PACK" "$@" </dev/null; }

# ---- pack, sign, dump ------------------------------------------------------
pack --image generic.exe orvane.launcher packed.exe 2>pack.err || fail "pack of the sample: $(cat pack.err)"
grep -q '^orvane.launcher:[0-9]*: warning: key 141 is not read by the launcher' pack.err ||
    fail "no warning about the unread key 141: $(cat pack.err)"
[ "$(stat -c %s packed.exe)" -gt "$(stat -c %s generic.exe)" ] || fail "packed.exe is not longer than the image"

# The PE checksum of the packed launcher is valid (pack computes it anew).
checksum=$(osslsigncode verify -in packed.exe 2>&1 || true)
grep -q 'PE checksum' <<<"$checksum" || fail "osslsigncode did not read packed.exe: $checksum"
if grep -q 'invalid PE checksum' <<<"$checksum"; then fail "packed.exe: $checksum"; fi

openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=pack test" \
    -keyout key.pem -out cert.pem >/dev/null 2>&1 || fail "openssl could not make a certificate"
osslsigncode sign -certs cert.pem -key key.pem -h sha256 -n "orvane Service" \
    -in packed.exe -out signed.exe >/dev/null || fail "osslsigncode could not sign packed.exe"
osslsigncode verify -CAfile cert.pem -in signed.exe >verify.out 2>&1 || fail "signature of signed.exe: $(cat verify.out)"

pack dump packed.exe >packed.launcher 2>/dev/null || fail "dump of packed.exe"
pack dump signed.exe >signed.launcher 2>dump.err || fail "dump of signed.exe: $(cat dump.err)"
cmp -s packed.launcher signed.launcher || fail "signing changed the dump: $(diff packed.launcher signed.launcher)"
grep -q 'bytes behind the embedded data' dump.err || fail "dump did not mention the signature: $(cat dump.err)"
grep -q '^101 = orvane Service$' signed.launcher || fail "dump lacks the service name"

# The dump packs back to the same launcher; a signed launcher serves as
# image too (its signature entry is cleared, its checksum renewed).
pack --image generic.exe signed.launcher repacked.exe 2>/dev/null || fail "pack of the dump"
cmp -s repacked.exe packed.exe || fail "pack of the dump differs from packed.exe"
pack --image signed.exe orvane.launcher from-signed.exe 2>/dev/null || fail "pack onto signed.exe"
cmp -s from-signed.exe packed.exe || fail "packing onto the signed launcher differs from packed.exe"

# The signed launcher still finds and reads its block.
usage=$(wine ./signed.exe '/?' </dev/null 2>&1) || fail "signed.exe /? exited with $?: $usage"
grep -q '^Usage: ' <<<"$usage" || fail "signed.exe /? printed no usage line: $usage"

# ---- embedded files through dump --files -----------------------------------
mkdir -p content/lib
printf 'first file\n' >content/a.txt
head -c 7000 /dev/urandom >content/lib/b.bin
{ cat orvane.launcher; printf '\n[files]\na.txt = content/a.txt\nlib\\b.bin = content\\lib\\b.bin\n'; } >files.launcher
pack --image generic.exe files.launcher with-files.exe 2>/dev/null || fail "pack with embedded files"
mkdir out
pack dump with-files.exe --files out/extracted -o out/with-files.launcher 2>/dev/null || fail "dump --files"
cmp -s out/extracted/a.txt content/a.txt || fail "dump wrote a.txt wrongly"
cmp -s out/extracted/lib/b.bin content/lib/b.bin || fail "dump wrote lib\\b.bin wrongly"
grep -q '^2002 = 2$' out/with-files.launcher || fail "key 2002 is not 2"
grep -qF '2003 = a.txt;lib\b.bin' out/with-files.launcher || fail "key 2003 does not list the files"
grep -qF 'lib\b.bin = extracted/lib/b.bin' out/with-files.launcher || fail "dump refers to the files wrongly"
pack --image generic.exe out/with-files.launcher repacked-files.exe 2>/dev/null || fail "pack of the dump with files"
cmp -s repacked-files.exe with-files.exe || fail "dump --files does not pack back to the same launcher"

# ---- errors ----------------------------------------------------------------
# expect_error DESCRIPTION LINE TEXT [pack arguments]: pack must fail with
# exit code 1 and "DESCRIPTION:LINE: ...TEXT..." and leave nothing behind.
expect_error() {
    local description=$1 line=$2 text=$3
    shift 3
    rm -f bad.exe
    local rc=0
    pack "$@" "$description" bad.exe 2>bad.err || rc=$?
    [ "$rc" -eq 1 ] || fail "$description: exit code $rc, want 1: $(cat bad.err)"
    grep -qF "$description:$line: " bad.err || fail "$description: no error at line $line: $(cat bad.err)"
    grep -qF "$text" bad.err || fail "$description: error lacks \"$text\": $(cat bad.err)"
    [ ! -e bad.exe ] || fail "$description: bad.exe was written"
    if ls bad.exe.* >/dev/null 2>&1; then fail "$description: a temporary file was left: $(ls bad.exe.*)"; fi
}

line_of() { grep -n -m1 "$1" orvane.launcher | cut -d: -f1; }
lines=$(wc -l <orvane.launcher)

sed 's/^102 = 1$/1O2 = 1/' orvane.launcher >bad-id.launcher
expect_error bad-id.launcher "$(line_of '^102 = ')" 'id "1O2" is not a 32-bit number' --image generic.exe

sed 's/^101 = orvane Service$/101 orvane Service/' orvane.launcher >bad-line.launcher
expect_error bad-line.launcher "$(line_of '^101 = ')" 'expected "="' --image generic.exe

{ cat orvane.launcher; echo '[config]'; printf '150 = %06000d\n' 0; } >long-value.launcher
expect_error long-value.launcher $((lines + 2)) 'has 6000 bytes; the launcher reads at most 5999' --image generic.exe

{ cat orvane.launcher; echo '[group de]'; printf '1000 = %06000d\n' 0; } >long-text.launcher
expect_error long-text.launcher $((lines + 2)) 'has 6000 characters' --image generic.exe

{ cat orvane.launcher; printf '[files]\nx.dll = nowhere/x.dll\n'; } >missing-file.launcher
expect_error missing-file.launcher $((lines + 2)) 'cannot read embedded file "nowhere/x.dll"' --image generic.exe

# An image that is not a PE file: the error names the image.
rc=0
pack --image orvane.launcher orvane.launcher bad.exe 2>bad.err || rc=$?
[ "$rc" -eq 1 ] || fail "non-PE image: exit code $rc, want 1"
grep -qF 'orvane.launcher: not a Windows executable: no MZ signature' bad.err || fail "non-PE image: $(cat bad.err)"
[ ! -e bad.exe ] || fail "non-PE image: bad.exe was written"

# A failed pack leaves an existing output file as it was.
cp packed.exe kept.exe
rc=0
pack --image generic.exe bad-id.launcher kept.exe 2>/dev/null || rc=$?
[ "$rc" -eq 1 ] && cmp -s kept.exe packed.exe || fail "a failed pack changed the existing output file"

echo "PASS"

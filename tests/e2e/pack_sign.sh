#!/usr/bin/env bash
# The packaging tool as users run it: the Windows build's pack.exe under
# Wine.  The sample description packs onto the generic launcher; the packed
# launcher signs with a test certificate, and the signed file still dumps to
# the same description, packs back to the same bytes and still reads its
# block.  Embedded files go out with dump --files and come back with pack.
# The same holds for a launcher with its own icon and version information
# and keys given by name.  Bad input fails with exit code 1, the file and line, and no output file.
#
# Environment (set by ctest): WINEPREFIX, LRX_LAUNCHER (servicelauncher.exe),
# LRX_PACK (pack.exe), LRX_SOURCE_DIR.
set -euo pipefail
# A command that fails outside a check (a pipeline, a copy) names its line.
trap 'echo "FAIL: line $LINENO exited with $?" >&2' ERR
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

# ---- icon and version information ------------------------------------------
# A two-image icon (16 and 32 pixels, 32 bits per pixel), written byte by
# byte: the icon directory, then each bitmap's info header, pixels and mask.
le32() { printf '\\x%02x\\x%02x\\x%02x\\x%02x' $(($1 & 255)) $(($1 >> 8 & 255)) $(($1 >> 16 & 255)) $(($1 >> 24 & 255)); }
bitmap() { # SIZE
    local size=$1
    printf "$(le32 40)$(le32 "$size")$(le32 $((2 * size)))\x01\x00\x20\x00"
    head -c 24 /dev/zero
    head -c $((size * size * 4)) /dev/zero | tr '\0' '\120'
    head -c $((size * 4)) /dev/zero
}
{
    printf '\x00\x00\x01\x00\x02\x00'
    printf "\x10\x10\x00\x00\x01\x00\x20\x00$(le32 1128)$(le32 38)"
    printf "\x20\x20\x00\x00\x01\x00\x20\x00$(le32 4264)$(le32 1166)"
    bitmap 16
    bitmap 32
} >app.ico
[ "$(stat -c %s app.ico)" -eq 5430 ] || fail "the test icon has $(stat -c %s app.ico) bytes"

# The sample with icon, its own version and a few keys by name.
sed -e 's/^\[launcher\]$/[launcher]\nicon = app.ico/' -e '/^\[version\]$/,/^$/d' \
    -e 's/^101 = orvane Service$/service-name = orvane Service/' \
    -e 's/^122 = /main-class = /' -e 's/^126 = /min-java-version = /' orvane.launcher >icon.launcher
cat >>icon.launcher <<'END'

[version]
file-version = 3.2.2.0
product-version = 3.2.2
product-name = orvane
company-name = Orvane Ltd
file-description = orvane Service
legal-copyright = © 2026 Orvane Ltd
original-filename = orvane.exe
internal-name = orvane
END
pack --image generic.exe icon.launcher icon.exe 2>pack.err || fail "pack with icon and version: $(cat pack.err)"
checksum=$(osslsigncode verify -in icon.exe 2>&1 || true)
if grep -q 'invalid PE checksum' <<<"$checksum"; then fail "icon.exe: $checksum"; fi
# The block itself is the one of the sample: names and numbers are the same keys.
entries() { sed -n '/^\[config\]$/,$p' | grep -v '^\(#\|\[\|$\)'; }
pack dump packed.exe 2>/dev/null | entries >plain.entries
pack dump icon.exe --files icon-out 2>/dev/null | entries >icon.entries
cmp -s plain.entries icon.entries || fail "the keys by name differ: $(diff plain.entries icon.entries)"

osslsigncode sign -certs cert.pem -key key.pem -h sha256 -n "orvane Service" \
    -in icon.exe -out icon-signed.exe >/dev/null || fail "osslsigncode could not sign icon.exe"
osslsigncode verify -CAfile cert.pem -in icon-signed.exe >verify.out 2>&1 ||
    fail "signature of icon-signed.exe: $(cat verify.out)"
usage=$(wine ./icon-signed.exe '/?' </dev/null 2>&1) || fail "icon-signed.exe /? exited with $?: $usage"
grep -q '^Usage: ' <<<"$usage" || fail "icon-signed.exe /? printed no usage line: $usage"

mkdir -p icon-dump
pack dump icon-signed.exe --files icon-dump/files -o icon-dump/icon.launcher 2>dump.err ||
    fail "dump of icon-signed.exe: $(cat dump.err)"
grep -q '^icon = files/icon.ico$' icon-dump/icon.launcher || fail "dump lacks the icon: $(head -20 icon-dump/icon.launcher)"
cmp -s icon-dump/files/icon.ico app.ico || fail "the dumped icon differs from app.ico"
grep -q '^file-version = 3.2.2.0$' icon-dump/icon.launcher || fail "dump lacks the file version"
grep -q '^legal-copyright = © 2026 Orvane Ltd$' icon-dump/icon.launcher || fail "dump lacks the copyright"
pack --image generic.exe icon-dump/icon.launcher icon-repacked.exe 2>/dev/null || fail "pack of the icon dump"
cmp -s icon-repacked.exe icon.exe || fail "pack of the icon dump differs from icon.exe"
pack --image icon-signed.exe icon-dump/icon.launcher icon-onto-signed.exe 2>/dev/null || fail "pack onto icon-signed.exe"
cmp -s icon-onto-signed.exe icon.exe || fail "packing onto the signed launcher differs from icon.exe"
# A dump without --files cannot hold the icon and says so.
pack dump icon.exe >/dev/null 2>dump.err || fail "dump of icon.exe without --files"
grep -q 'the icon is not written out' dump.err || fail "dump without --files did not warn: $(cat dump.err)"

# Keys by name in the dump, which packs to the same launcher.
pack dump icon.exe --names --files names-out -o names.launcher 2>/dev/null || fail "dump --names"
grep -q '^service-name = orvane Service$' names.launcher || fail "dump --names lacks service-name"
grep -q '^# 101: service name' names.launcher || fail "dump --names lacks the number in the comment"
grep -q '^150 =$' names.launcher || fail "dump --names lacks the unnamed key 150"
pack --image generic.exe names.launcher names.exe 2>/dev/null || fail "pack of the dump with names"
cmp -s names.exe icon.exe || fail "pack of the dump with names differs from icon.exe"

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

icon_lines=$(wc -l <icon.launcher)
icon_line_of() { grep -n -m1 "$1" icon.launcher | cut -d: -f1; }
sed 's/^icon = app.ico$/icon = orvane.launcher/' icon.launcher >bad-icon.launcher
expect_error bad-icon.launcher "$(icon_line_of '^icon = ')" 'icon "orvane.launcher": not an icon file' --image generic.exe
sed 's/^file-version = 3.2.2.0$/file-version = 3.2.2.0.1/' icon.launcher >bad-version.launcher
expect_error bad-version.launcher "$(icon_line_of '^file-version = ')" 'has more than four parts' --image generic.exe
sed 's/^product-version = 3.2.2$/product-version = 3.2.x/' icon.launcher >bad-number.launcher
expect_error bad-number.launcher "$(icon_line_of '^product-version = ')" 'the part "x", which is not a number' \
    --image generic.exe
sed 's/^main-class = /mainclass = /' icon.launcher >bad-name.launcher
expect_error bad-name.launcher "$(icon_line_of '^main-class = ')" 'unknown key name "mainclass"' --image generic.exe
{ cat icon.launcher; printf '[config]\n122 = com.orvane.Other\n'; } >both.launcher
expect_error both.launcher $((icon_lines + 2)) 'key 122 is the same key as main-class at line' --image generic.exe

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

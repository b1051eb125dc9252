#!/usr/bin/env bash
# Message overrides of a language group apply under a matching user locale.
# Wine takes a program's UI language from LANG at its start, so this test
# starts the launcher from the shell, once under de_AT and once under en_US.
# A second embedded file named like the first one's directory cannot be
# created, which stops the launcher with message 1009 and "11".
set -euo pipefail
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

printf 'x' > "$work/x.dll"
{
    sed '/^\[files\]/,$d' "$LRX_SOURCE_DIR/samples/orvane.launcher"
    printf '[group de]\n1009 = Ein interner Fehler ist aufgetreten (Fehlercode: {0})\n'
    printf '[group fr]\n1009 = Une erreur interne est survenue (code : {0})\n'
    printf '[files]\nlib\\x.dll = x.dll\nlib = x.dll\n'
} > "$work/de.launcher"
wine "$LRX_PACK" --image "$LRX_LAUNCHER" "$work/de.launcher" "$work/orvane.exe" </dev/null

run() {
    LANG=$1 LC_ALL=$1 wine "$work/orvane.exe" /run </dev/null 2>&1 >/dev/null | tr -d '\r' || true
}
german=$(run de_AT.UTF-8)
[ "$german" = "Ein interner Fehler ist aufgetreten (Fehlercode: 11)" ] || fail "de_AT: '$german'"
english=$(run en_US.UTF-8)
[ "$english" = "An internal error occurred (error code: 11)" ] || fail "en_US: '$english'"
echo PASS

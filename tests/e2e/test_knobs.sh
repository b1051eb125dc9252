#!/usr/bin/env bash
# The shipped launcher reads no test-only environment variable: the names
# of the test bed ("LRX_TEST_...") appear in it neither as narrow nor as
# UTF-16 text.
set -euo pipefail
exe=${LRX_LAUNCHER:?}
fail() { echo "FAIL: $*" >&2; exit 1; }

# No "grep -q" behind a pipe: with pipefail its early exit fails the pipe.
narrow=$(grep -ac 'LRX_TEST_' "$exe" || true)
[ "$narrow" -eq 0 ] || fail "narrow LRX_TEST_ name in $exe"
wide=$(LC_ALL=C grep -acP 'L\x00R\x00X\x00_\x00T\x00E\x00S\x00T\x00_\x00' "$exe" || true)
[ "$wide" -eq 0 ] || fail "UTF-16 LRX_TEST_ name in $exe"
echo PASS

#!/bin/sh
# The Wine test bed: one prefix in the build tree, one persistent
# wineserver for the whole test run.
#   wine-bed.sh start PREFIX   create the prefix once, start the server, warm up
#   wine-bed.sh stop PREFIX    stop the server of that prefix
#
# Wine's background processes (services.exe, winedevice.exe, explorer.exe)
# inherit the standard handles of the first Wine process; if those were the
# pipe that ctest or CI reads, the reader would wait for them until its
# time-out.  So every process started here gets /dev/null.
set -u
cmd=$1
# Wine takes only an absolute prefix and, given a relative one, starts
# nothing; the error would go to /dev/null with everything else.
mkdir -p "$2" && WINEPREFIX=$(cd "$2" && pwd) || exit 1
export WINEPREFIX
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="

case "$cmd" in
start)
    if [ ! -f "$WINEPREFIX/system.reg" ]; then
        wineboot -i </dev/null >/dev/null 2>&1 || { echo "wineboot failed" >&2; exit 1; }
    else
        # A server left running by an earlier bed would serve this one in
        # the environment it was started in: one started without the X
        # display that the tests now have gives their message boxes no
        # desktop, and the tests that wait to close them hang.  So the bed
        # always starts its own.  (A new prefix has no server to end; it is
        # left alone until wineboot has made it.)
        wineserver -k </dev/null >/dev/null 2>&1
    fi
    # The server that wineboot (or an earlier run) started is not
    # persistent: let it end first, or it would exit under the tests, taking
    # services.exe with it, while a second one starts.
    timeout 30 wineserver -w </dev/null >/dev/null 2>&1
    wineserver -p </dev/null >/dev/null 2>&1
    # The first program in a cold prefix starts the services; wait for that
    # here rather than in a timing-sensitive test.
    wine cmd.exe /c exit 0 </dev/null >/dev/null 2>&1
    wine reg.exe query 'HKLM\System\CurrentControlSet\Services' </dev/null >/dev/null 2>&1
    wine sc.exe query type= service </dev/null >/dev/null 2>&1
    echo "wine prefix ready: $WINEPREFIX"
    ;;
stop)
    wineserver -k </dev/null >/dev/null 2>&1
    echo "wineserver stopped: $WINEPREFIX"
    ;;
*)
    echo "usage: $0 start|stop PREFIX" >&2
    exit 2
    ;;
esac

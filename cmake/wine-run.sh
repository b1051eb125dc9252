#!/bin/sh
# Runs a Windows program of the build under Wine, in the build tree's own
# prefix:  wine-run.sh --prefix DIR program.exe [args...]
# The prefix is made and warmed up by wine-bed.sh (a ctest fixture).
if [ "$1" = "--prefix" ]; then WINEPREFIX=$2; shift 2; fi
export WINEPREFIX
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
exec wine "$@"

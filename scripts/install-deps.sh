#!/usr/bin/env bash
# Installs what the build and the tests need on Debian 12.
set -euo pipefail
SUDO=
[ "$(id -u)" -eq 0 ] || SUDO=sudo
export DEBIAN_FRONTEND=noninteractive
$SUDO apt-get update
$SUDO apt-get install -y --no-install-recommends \
    g++ clang libclang-rt-14-dev cmake ninja-build googletest libgtest-dev \
    g++-mingw-w64-x86-64-posix wine wine64 xvfb xauth \
    openjdk-17-jdk-headless osslsigncode openssl locales

# The Wine tests run programs under German, English and Japanese locales; Wine
# takes its code pages and UI language from LANG, which must exist here.
for locale in de_AT.UTF-8 en_US.UTF-8 ja_JP.UTF-8; do
    if ! locale -a 2>/dev/null | grep -qi "^${locale%.UTF-8}.utf8$"; then
        $SUDO sed -i "s/^# *\(${locale} UTF-8\)/\1/" /etc/locale.gen
        grep -q "^${locale} UTF-8" /etc/locale.gen || echo "${locale} UTF-8" | $SUDO tee -a /etc/locale.gen >/dev/null
        need_gen=1
    fi
done
[ -z "${need_gen:-}" ] || $SUDO locale-gen

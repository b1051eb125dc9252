#!/usr/bin/env bash
# The main job: packs the sample launcher (the "orvane" service) from its
# description and shows it working under Wine.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$PWD/build-win/wineprefix
mkdir -p out
./build-host/tools/pack/pack --image build-win/launcher/servicelauncher.exe samples/orvane.launcher out/orvane.exe

cmake/wine-bed.sh start "$prefix" >/dev/null
trap 'cmake/wine-bed.sh stop "$prefix" >/dev/null' EXIT

echo "== out/orvane.exe /?"
cmake/wine-run.sh --prefix "$prefix" out/orvane.exe /? </dev/null
echo
echo "== pack dump out/orvane.exe"
./build-host/tools/pack/pack dump out/orvane.exe

#!/usr/bin/env bash
# The main job: packs the sample launcher (the "orvane" service) from its
# description, lays it out with the sample application, and runs it under
# Wine.  A real Windows Java runtime cannot be installed on this machine,
# so the demo's runtime (jre\) is the project's test double: a java.exe
# that answers -version and a stub jvm.dll that records what it receives.
# Put a real 64-bit Java 8 runtime into out/demo/jre on Windows and the
# same launcher runs the application for real.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=$PWD/build-win/wineprefix
demo=$PWD/out/demo
pack=./build-host/tools/pack/pack

rm -rf "$demo"
mkdir -p "$demo"/bin "$demo"/lib/common "$demo"/lib/server "$demo"/.tavra "$demo"/jre/bin/server
"$pack" --image build-win/launcher/servicelauncher.exe samples/orvane.launcher "$demo"/bin/orvane.exe 2>/dev/null
cp build-host/samples/orvane-app.jar "$demo"/lib/common/
cp build-host/java/tvrruntime.jar build-win/native/tvrinst.dll "$demo"/.tavra/
cp build-win/tests/fake-runtime/java.exe "$demo"/jre/bin/
printf 'stderr=java version "1.8.0_301"\r\nexit=0\r\n' > "$demo"/jre/bin/fakejava.txt
cp build-win/tests/support/jvm/jvm.dll "$demo"/jre/bin/server/

cmake/wine-bed.sh start "$prefix" >/dev/null
trap 'cmake/wine-bed.sh stop "$prefix" >/dev/null' EXIT
run() { cmake/wine-run.sh --prefix "$prefix" "$@" </dev/null; }

echo "== orvane.exe /?"
run "$demo"/bin/orvane.exe /?
echo
echo "== orvane.exe /run hello world    (exit code follows)"
run "$demo"/bin/orvane.exe /run hello world && echo "exit code 0"
echo
echo "== what the JVM received (jre/bin/server/jvm.record)"
echo "-- VM options:"
sed -n 's/^option\t//p' "$demo"/jre/bin/server/jvm.record
echo "-- the natives of .tavra/tvrinst.dll registered before main:"
printf '   %s rows in %s classes\n' "$(grep -c -P '^RegisterNatives row\t.*-> bound' "$demo"/jre/bin/server/jvm.record || true)" \
    "$(grep -c -P '^RegisterNatives\t.*-> 0' "$demo"/jre/bin/server/jvm.record || true)"
echo "-- the launcher class and main's arguments:"
grep -P '^CallStaticVoidMethod\t.*\.main\(' "$demo"/jre/bin/server/jvm.record | cut -f3-
echo
echo "== pack dump orvane.exe (the configuration block)"
"$pack" dump "$demo"/bin/orvane.exe | sed -n '/^\[config\]/,/^10003/p'
echo "   ... (the whole description: $pack dump out/demo/bin/orvane.exe)"

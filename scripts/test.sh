#!/usr/bin/env bash
# Sets up the machine (idempotently) and runs every test: the native unit tests
# under AddressSanitizer and UndefinedBehaviorSanitizer, the fuzz targets for
# 20 seconds each (scripts/fuzz.sh), then the tests of both Windows builds
# (32-bit and x64) under Wine against the local CUPS printers, among them a real
# Java virtual machine (scripts/avian.sh) calling the DLLs of the release ZIP.
# Fails when any test fails.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUILLET_BUILD:-$root/build}"
cd "$root"

bash scripts/setup.sh
bash scripts/printers.sh
bash scripts/wine-prefix.sh
bash scripts/wine-prefix.sh win64
# The JVM of the JVM tests, built once from third_party/avian and then reused.
bash scripts/avian.sh >/dev/null

cmake -S . -B "$build/native" -G Ninja -DCMAKE_BUILD_TYPE=Debug >/dev/null
cmake --build "$build/native"
# Each Windows build packs the other's tree too, so that the release ZIP that its
# tests unpack holds both architectures and the jar both DLLs.
cmake -S . -B "$build/win32" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" -DQUILLET_PACKAGE_WITH="$build/win64" >/dev/null
cmake --build "$build/win32"
cmake -S . -B "$build/win64" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-x86_64.cmake" -DQUILLET_PACKAGE_WITH="$build/win32" >/dev/null
cmake --build "$build/win64"

log="$build/native-tests.log"
if ! ctest --test-dir "$build/native" --output-on-failure -j "$(nproc)" >"$log" 2>&1; then
  cat "$log"
  echo "native unit tests failed" >&2
  exit 1
fi
grep -E 'tests passed|Total Test time' "$log" | sed 's/^/native: /'
# Every fuzz target for a bounded time: any finding fails the run.
bash scripts/fuzz.sh 20
# The Windows tests share the printer queues, and those of one build a registry
# and a Wine server: they run one at a time, the 32-bit build's first, then the
# x64 build's (named x64.*), in one ctest run whose summary is the last thing the
# command prints.
printf 'subdirs("win32" "win64")\n' > "$build/CTestTestfile.cmake"
ctest --test-dir "$build" --output-on-failure

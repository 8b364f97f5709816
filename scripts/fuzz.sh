#!/usr/bin/env bash
# Builds the libFuzzer targets of tests/fuzz with clang and runs each for SECONDS
# (default 20), over its seed corpus in the tree and a working corpus in the build
# folder, which grows from run to run. Any finding fails the run: a crash, a broken
# invariant, undefined behaviour, a leak, or a hang (one input running over 5 s).
# The input behind it is left in <build>/fuzz/findings/; once mended, copy it into
# tests/fuzz/corpus/<target>/ so that every later run replays it.
#
# Usage: scripts/fuzz.sh [SECONDS] [TARGET...]    e.g. scripts/fuzz.sh 3600 reader
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="$(mkdir -p "${QUILLET_BUILD:-$root/build}" && cd "${QUILLET_BUILD:-$root/build}" && pwd)/fuzz"
seconds="${1:-20}"
[ "$#" -gt 0 ] && shift
targets=("$@")
if [ "${#targets[@]}" -eq 0 ]; then
  for src in "$root"/tests/fuzz/*_fuzz.cpp; do
    name="$(basename "$src" .cpp)"
    targets+=("${name%_fuzz}")
  done
fi

command -v clang++ >/dev/null 2>&1 || bash "$root/scripts/setup.sh"

mkdir -p "$build"
log="$build/build.log"
if ! { CC=clang CXX=clang++ cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
         -DQUILLET_FUZZ=ON && cmake --build "$build" -j2; } >"$log" 2>&1; then
  cat "$log"
  echo "fuzz: the clang build failed" >&2
  exit 1
fi

# tmp/ holds the targets' scratch folders; one left by a finding goes with the next run.
rm -rf "$build/tmp"
mkdir -p "$build/findings" "$build/logs" "$build/tmp"
failed=()
for t in "${targets[@]}"; do
  mkdir -p "$build/corpus/$t"
  out="$build/logs/$t.log"
  # Paths are absolute: the targets work in a scratch folder of their own.
  if env -u QUILLET_DEBUG TMPDIR="$build/tmp" \
       ASAN_OPTIONS="quarantine_size_mb=64:${ASAN_OPTIONS:-}" \
       "$build/${t}_fuzz" -max_total_time="$seconds" -timeout=5 -rss_limit_mb=2048 \
       -dict="$root/tests/fuzz/$t.dict" -artifact_prefix="$build/findings/$t-" \
       "$build/corpus/$t" "$root/tests/fuzz/corpus/$t" >"$out" 2>&1; then
    echo "fuzz: $t: $(grep -oE 'Done [0-9]+ runs in [0-9]+ second' "$out" | sed 's/Done //; s/second/s/'), no finding"
  else
    sed -n '/ERROR:\|invariant broken\|runtime error/,$p' "$out" | head -n 60
    echo "fuzz: $t: FINDING (log $out, input in $build/findings/)" >&2
    failed+=("$t")
  fi
done
if [ "${#failed[@]}" -gt 0 ]; then
  echo "fuzz: findings in ${failed[*]}" >&2
  exit 1
fi

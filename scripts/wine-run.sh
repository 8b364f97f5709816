#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix.
# Usage: wine-run.sh PROGRAM.exe [ARG ...]
#
# The prefix decides the architecture: an x64 program runs in the win64 prefix
# ($QUILLET_WINEPREFIX64), anything else in the win32 one ($QUILLET_WINEPREFIX);
# scripts/wine-prefix.sh sets both up.
#
# Wine may start helper processes (wineserver, explorer, services) that outlive
# the program and inherit its standard output. A caller that reads the output to
# its end (ctest) would wait for them too, so the program writes to a file that
# is copied out once the program itself has ended. Standard output and standard
# error stay apart.
set -uo pipefail
# Wine's server and services outlive the programs that start them and keep every
# file they inherit open: a lock that the caller holds with flock(1) would stay
# held for as long as the server lives. Only the standard streams go on to Wine.
for fd in $(ls /proc/$$/fd); do
  if [ "$fd" -gt 2 ] && [ "$fd" -ne 255 ] && [ -e "/proc/$$/fd/$fd" ]; then exec {fd}>&-; fi
done
# The machine field of the program's PE header (0x8664 for x64).
pe_machine() {
  local at
  at="$(od -An -tu4 -j60 -N4 "$1" 2>/dev/null | tr -d ' ')"
  [ -n "$at" ] && od -An -tx2 -j"$((at + 4))" -N2 "$1" 2>/dev/null | tr -d ' '
}
if [ "$(pe_machine "${1:-}")" = 8664 ]; then
  export WINEPREFIX="${QUILLET_WINEPREFIX64:-$HOME/.cache/quillet/wineprefix64}"
else
  export WINEPREFIX="${QUILLET_WINEPREFIX:-$HOME/.cache/quillet/wineprefix}"
fi
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
out="$(mktemp)"
err="$(mktemp)"
trap 'rm -f "$out" "$err"' EXIT
# The program reads nothing: a program that waits for input cannot hold a run
# up. QUILLET_WINE_STDIN=1 passes the caller's standard input on instead.
if [ "${QUILLET_WINE_STDIN:-}" = 1 ]; then
  wine "$@" >"$out" 2>"$err"
else
  wine "$@" >"$out" 2>"$err" </dev/null
fi
rc=$?
cat "$out"
cat "$err" >&2
exit "$rc"

#!/usr/bin/env bash
# Runs a Windows program under Wine in the project's private prefix.
# Usage: wine-run.sh PROGRAM.exe [ARG ...]
#
# Wine may start helper processes (wineserver, explorer, services) that outlive
# the program and inherit its standard output. A caller that reads the output to
# its end (ctest) would wait for them too, so the program writes to a file that
# is copied out once the program itself has ended. Standard output and standard
# error stay apart.
set -uo pipefail
export WINEPREFIX="${QUILLET_WINEPREFIX:-$HOME/.cache/quillet/wineprefix}"
export WINEDEBUG="${WINEDEBUG:--all}"
export WINEDLLOVERRIDES="${WINEDLLOVERRIDES:-mscoree,mshtml=}"
out="$(mktemp)"
err="$(mktemp)"
trap 'rm -f "$out" "$err"' EXIT
wine "$@" >"$out" 2>"$err" </dev/null
rc=$?
cat "$out"
cat "$err" >&2
exit "$rc"

#!/usr/bin/env bash
# Creates (or refreshes) the private Wine prefix the tests run in. Wine copies the
# CUPS printer list into its registry when a prefix is created or updated, so this
# runs after scripts/printers.sh. Keeps a wineserver alive to speed up test runs.
set -euo pipefail
export WINEPREFIX="${QUILLET_WINEPREFIX:-$HOME/.cache/quillet/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$WINEPREFIX")"
stamp="$WINEPREFIX/.quillet-printers"
printers="$(lpstat -p 2>/dev/null | awk '{print $2}' | sort | paste -sd' ')"
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init >/dev/null 2>&1
  echo "$printers" > "$stamp"
elif [ "$(cat "$stamp" 2>/dev/null)" != "$printers" ]; then
  wineboot -u >/dev/null 2>&1
  echo "$printers" > "$stamp"
fi
wineserver -w
# A persistent server and the prefix's services, started detached from this
# script's output, so test programs find them running.
setsid wineserver -p </dev/null >/dev/null 2>&1 || true
setsid wine cmd /c exit </dev/null >/dev/null 2>&1 || true
echo "wine-prefix: $WINEPREFIX (printers: $printers)"

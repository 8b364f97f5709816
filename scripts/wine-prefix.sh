#!/usr/bin/env bash
# Creates (or refreshes) the private Wine prefix the tests run in.
# - Wine copies the CUPS printer list into its registry when a prefix is created
#   or updated, so this runs after scripts/printers.sh and again whenever the
#   printer list changes.
# - There is no display: the "null" graphics driver lets windows, dialogs and
#   message boxes exist headless (without it every window creation fails).
# - A persistent wineserver keeps test programs quick to start.
set -euo pipefail
export WINEPREFIX="${QUILLET_WINEPREFIX:-$HOME/.cache/quillet/wineprefix}"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$WINEPREFIX")"
stamp="$WINEPREFIX/.quillet-printers"
printers="$(lpstat -p 2>/dev/null | awk '{print $2}' | sort | paste -sd' ')"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot --init </dev/null >/dev/null 2>&1
  echo "$printers" > "$stamp"
elif [ "$(cat "$stamp" 2>/dev/null)" != "$printers" ]; then
  wineboot -u </dev/null >/dev/null 2>&1
  echo "$printers" > "$stamp"
fi

if ! grep -q '"Graphics"="null"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
  # The registry reaches user.reg when the server saves it; restart it so the
  # setting holds for every later program.
  wineserver -k 2>/dev/null || true
  for _ in $(seq 50); do wineserver -k0 2>/dev/null || break; sleep 0.1; done
fi

# Detached from this script's output, so that callers reading it do not wait.
setsid wineserver -p </dev/null >/dev/null 2>&1 || true
echo "wine-prefix: $WINEPREFIX (printers: $printers; graphics: null)"

#!/usr/bin/env bash
# Creates (or refreshes) the private Wine prefix the tests run in.
# Usage: wine-prefix.sh [win32|win64]
# - One prefix per architecture, since the prefix decides it: win32 (the default,
#   $QUILLET_WINEPREFIX) for the 32-bit library, win64 ($QUILLET_WINEPREFIX64)
#   for the x64 one. scripts/wine-run.sh picks the one that fits a program.
# - Wine copies the CUPS printer list into its registry when a prefix is created
#   or updated, so this runs after scripts/printers.sh and again whenever the
#   printer list changes.
# - There is no display: the "null" graphics driver lets windows, dialogs and
#   message boxes exist headless (without it every window creation fails).
# - A persistent wineserver keeps test programs quick to start.
set -euo pipefail
# Wine's server and services outlive the programs that start them and keep every
# file they inherit open: a lock that the caller holds with flock(1) would stay
# held for as long as the server lives. Only the standard streams go on to Wine.
for fd in $(ls /proc/$$/fd); do
  if [ "$fd" -gt 2 ] && [ "$fd" -ne 255 ] && [ -e "/proc/$$/fd/$fd" ]; then exec {fd}>&-; fi
done
arch="${1:-win32}"
case "$arch" in
  win32) export WINEPREFIX="${QUILLET_WINEPREFIX:-$HOME/.cache/quillet/wineprefix}" ;;
  win64) export WINEPREFIX="${QUILLET_WINEPREFIX64:-$HOME/.cache/quillet/wineprefix64}" ;;
  *) echo "wine-prefix: unknown architecture $arch (win32 or win64)" >&2; exit 2 ;;
esac
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
mkdir -p "$(dirname "$WINEPREFIX")"
stamp="$WINEPREFIX/.quillet-printers"
printers="$(lpstat -p 2>/dev/null | awk '{print $2}' | sort | paste -sd' ')"

if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # With 64-bit Wine installed a new prefix would be win64 unless told otherwise.
  WINEARCH="$arch" wineboot --init </dev/null >/dev/null 2>&1
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
echo "wine-prefix: $WINEPREFIX ($arch; printers: $printers; graphics: null)"

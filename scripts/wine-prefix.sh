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

# Glyphs for every script in the printer's own face.
# The printer context's own face is Wine's default fixed-pitch face: Liberation
# Mono where it is installed, else DejaVu Sans Mono (Wine asks for "Courier New"
# first, which Debian does not have). Neither has Chinese, Japanese or Korean;
# DejaVu Sans Mono has no Hebrew, Liberation Mono no Arabic. Wine's PostScript
# driver turns every character into a glyph of the selected font alone
# (GetGlyphIndicesW), so the ways Windows and Wine's screen find a glyph elsewhere
# do not reach the page. Tried, and the page still showed boxes:
# - a system link (HKLM\Software\Microsoft\Windows NT\CurrentVersion\FontLink\
#   SystemLink) from the face to Noto Sans CJK, Noto Sans Hebrew and Noto Sans
#   Arabic: Wine loads it (its font trace lists the linked files as child fonts
#   of the face), the PostScript driver never asks them;
# - a replacement (HKCU\Software\Wine\Fonts\Replacements) of the face: Wine skips
#   a replacement for a face that exists ("is available. Skip this replacement");
#   a substitute would change the face itself, Latin letters and metrics with it;
# - fonts that have the glyphs, installed: Wine sees them, and links nothing.
# What works: a copy of the face that has the glyphs (scripts/fallback-font.py:
# the face's own glyphs and tables kept, plus Hebrew, Arabic and the other
# alphabets from DejaVu Sans and Chinese, Japanese and Korean from WenQuanYi
# Micro Hei), in the weights reports print in (regular, bold), in the prefix's
# Fonts folder. Wine meets the face twice and keeps the copy, whose revision is one
# step higher. What follows from the driver:
# - Its Type 42 download takes tables of at most 64 KB; the copy's glyph index
#   passes that, so the driver sends the face as Type 1 outlines ("Type 1C" fonts
#   of the same name in pdffonts, where TrueType was listed before). That path
#   is the cheaper one: it does not send the face's tables again on every page
#   (200 pages on the Null printer took about a third of the time).
# - A PDF gives a character back as text only through its glyph's name, and the
#   driver reads the face's whole name table for every character it prints: past
#   about 96 KiB that costs more than the printing. So the common characters are
#   named (scripts/fallback-font.py says which) and the rest print unnamed:
#   pdftotext cannot read those back, and a driver trace (WINEDEBUG fixme) says
#   "exceeds PostScript Format 2 table size" for each.
# Rebuilt when the face, a fallback or the builder changes.
font_file() {  # the file of the newest font that fontconfig has for a pattern
  fc-list -f '%{fontversion} %{file}\n' "$1" 2>/dev/null | sort -n | tail -n 1 | cut -d' ' -f2-
}
face=""
for family in "Liberation Mono" "DejaVu Sans Mono"; do
  if [ -n "$(font_file "$family:weight=80:slant=0")" ]; then face="$family"; break; fi
done
fonts="$WINEPREFIX/drive_c/windows/Fonts"
builder="$(cd "$(dirname "$0")" && pwd)/fallback-font.py"
sources=()
for weight in 80 200; do  # regular, bold
  sources+=("$(font_file "$face:weight=$weight:slant=0")"
            "$(font_file "DejaVu Sans:weight=$weight:slant=0:width=100")"
            "$(font_file "WenQuanYi Micro Hei")")
done
if [ -z "$face" ] || printf '%s\n' "${sources[@]}" | grep -qx ''; then
  echo "wine-prefix: the printer font stays without glyphs for other scripts:" \
       "a font is missing (scripts/setup.sh installs them)" >&2
else
  wanted="$(sha1sum "$builder" | cut -d' ' -f1) $(stat -c '%n %s %Y' "${sources[@]}" | paste -sd' ')"
  if [ "$(cat "$WINEPREFIX/.quillet-fonts" 2>/dev/null)" != "$wanted" ]; then
    mkdir -p "$fonts"
    rm -f "$fonts"/quillet-*.ttf
    builds=()
    for at in 0 3; do  # the two weights side by side, a core each
      python3 "$builder" "$WINEPREFIX/.quillet-font-$at" "${sources[@]:at:3}" >/dev/null &
      builds+=($!)
    done
    for build in "${builds[@]}"; do wait "$build"; done
    for at in 0 3; do
      mv "$WINEPREFIX/.quillet-font-$at" "$fonts/quillet-$(basename "${sources[at]%.*}").ttf"
    done
    echo "$wanted" > "$WINEPREFIX/.quillet-fonts"
  fi
fi

# Detached from this script's output, so that callers reading it do not wait.
setsid wineserver -p </dev/null >/dev/null 2>&1 || true
echo "wine-prefix: $WINEPREFIX ($arch; printers: $printers; graphics: null; printer font: ${face:-?}$(
  [ -f "$WINEPREFIX/.quillet-fonts" ] && echo " with glyphs for other scripts"))"

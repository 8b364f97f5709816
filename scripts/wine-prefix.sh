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

# The registry reaches its files when the server saves them: the server (a
# persistent one of an earlier run too, which would never end by itself) is
# stopped, and the next program starts a new one that reads them.
save_registry() {
  wineserver -k 2>/dev/null || true
  for _ in $(seq 50); do wineserver -k0 2>/dev/null || break; sleep 0.1; done
}

if ! grep -q '"Graphics"="null"' "$WINEPREFIX/user.reg" 2>/dev/null; then
  wine reg add 'HKCU\Software\Wine\Drivers' /v Graphics /d null /f </dev/null >/dev/null 2>&1
  save_registry
fi

# The printer's own face and the faces linked behind it.
# - The printer context's own font asks for no face by name (a fixed-pitch font
#   of the modern family), and Wine gives it the first face of its list of
#   default fixed-pitch faces that exists ("Courier New", "Liberation Mono", ...)
#   or else whichever fixed-pitch face it meets first: which one depended on
#   what else the machine had installed (Noto Sans Mono once). A replacement of
#   "Courier New" by DejaVu Sans Mono (scripts/setup.sh installs it) pins it:
#   the printer's face is DejaVu Sans Mono with or without more fonts.
# - Wine's PostScript driver draws every character in the selected font alone
#   (GetGlyphIndicesW): it loads the system links (HKLM\Software\Microsoft\
#   Windows NT\CurrentVersion\FontLink\SystemLink) but never asks the linked
#   faces. The library asks them itself, as Windows' font linking would: for a
#   word it shapes, and for characters its font lacks. The links below are
#   those faces, behind the printer's face and the faces reports name, in the
#   order they are asked: Hebrew with points, Arabic, Thai (Tlwg Mono keeps
#   the grid), Devanagari, Tamil, Bengali, the East Asian ideographs and their
#   Extension B, and DejaVu Sans for the other alphabets.
# - Chinese, Japanese and Korean, which need no shaping and fill whole reports,
#   come from a copy of the printer's face that has their glyphs
#   (scripts/fallback-font.py, from WenQuanYi Micro Hei), in the weights reports
#   print in (regular, bold), built once per machine and copied into the
#   prefix's Fonts folder; Wine meets the face
#   twice and keeps the copy, whose revision is one step higher. A linked
#   Micro Hei would do as well on the page, but the driver reads a face's
#   whole glyph-name table (post, 540 KB in Micro Hei) for every character it
#   prints; and the copy is sent as Type 1 outlines (its glyph index passes the
#   64 KB of a Type 42 download), which does not send the face's metrics again
#   on every page: whole reports print in about two thirds of the time.
font_file() {  # the file of the newest font that fontconfig has for a pattern
  fc-list -f '%{fontversion} %{file}\n' "$1" 2>/dev/null | sort -n | tail -n 1 | cut -d' ' -f2-
}
face="DejaVu Sans Mono"
links=("Noto Sans Hebrew" "Noto Sans Arabic" "Tlwg Mono=TlwgMono" "Noto Sans Thai" "Noto Sans Devanagari"
       "Noto Sans Tamil" "Noto Sans Bengali" "WenQuanYi Micro Hei Mono" "HanaMinB" "DejaVu Sans")
entries=()
for link in "${links[@]}"; do  # fontconfig's family name, and Wine's face name where it differs
  family="${link%%=*}"
  file="$(font_file "$family:weight=80:slant=0:width=100")"
  [ -n "$file" ] || file="$(font_file "$family")"  # a face in one weight only
  if [ -z "$file" ]; then
    echo "wine-prefix: no font for $family (scripts/setup.sh installs it): not linked" >&2
    continue
  fi
  entries+=("$(basename "$file"),${link#*=}")
done
registry="$(
  printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Wine\\Fonts\\Replacements]\n"Courier New"="%s"\n\n' "$face"
  printf '[HKEY_LOCAL_MACHINE\\Software\\Microsoft\\Windows NT\\CurrentVersion\\FontLink\\SystemLink]\n'
  hex="$(printf '%s\0' "${entries[@]}" | iconv -f UTF-8 -t UTF-16LE | od -An -v -tx1 | tr -s ' \n' ',' |
         sed 's/^,//')00,00"
  for linked in "$face" "Courier New" "Liberation Mono"; do printf '"%s"=hex(7):%s\n' "$linked" "$hex"; done
)"
if [ "$(cat "$WINEPREFIX/.quillet-links" 2>/dev/null)" != "$registry" ]; then
  # A version 5 file is UTF-16, as the hex(7) values in it are.
  printf '%s\n' "$registry" | iconv -f UTF-8 -t UTF-16 > "$WINEPREFIX/.quillet-links.reg"
  wine regedit "$(winepath -w "$WINEPREFIX/.quillet-links.reg")" </dev/null >/dev/null 2>&1
  save_registry
  printf '%s' "$registry" > "$WINEPREFIX/.quillet-links"
fi

fonts="$WINEPREFIX/drive_c/windows/Fonts"
builder="$(cd "$(dirname "$0")" && pwd)/fallback-font.py"
sources=()
for weight in 80 200; do  # regular, bold
  sources+=("$(font_file "$face:weight=$weight:slant=0")" "$(font_file "WenQuanYi Micro Hei")")
done
if printf '%s\n' "${sources[@]}" | grep -qx ''; then
  echo "wine-prefix: the printer font stays without Chinese, Japanese and Korean:" \
       "a font is missing (scripts/setup.sh installs them)" >&2
else
  # The copies are built once per machine and shared by every prefix: kept under
  # the hash of the builder and of the fonts they are made from.
  key="$(sha1sum "$builder" "${sources[@]}" | cut -d' ' -f1 | sha1sum | cut -c1-16)"
  cache="${QUILLET_FONT_CACHE:-$HOME/.cache/quillet/fonts}"
  built="$cache/$key"
  if [ ! -d "$built" ]; then
    mkdir -p "$cache"
    work="$(mktemp -d "$cache/.build-XXXXXX")"
    builds=()
    for at in 0 2; do  # the two weights side by side, a core each
      /usr/bin/python3 "$builder" "$work/quillet-$(basename "${sources[at]%.*}").ttf" "${sources[@]:at:2}" \
        >/dev/null &
      builds+=($!)
    done
    failed=0
    for build in "${builds[@]}"; do wait "$build" || failed=1; done
    if [ "$failed" = 0 ]; then
      mv -T "$work" "$built" 2>/dev/null || rm -rf "$work"  # another run may have put it there first
    else
      rm -rf "$work"
      echo "wine-prefix: building the printer font's copy failed" >&2
      exit 1
    fi
  fi
  if [ "$(cat "$WINEPREFIX/.quillet-fonts" 2>/dev/null)" != "$key" ]; then
    mkdir -p "$fonts"
    rm -f "$fonts"/quillet-*.ttf
    cp "$built"/quillet-*.ttf "$fonts/"
    echo "$key" > "$WINEPREFIX/.quillet-fonts"
  fi
fi

# Detached from this script's output, so that callers reading it do not wait.
setsid wineserver -p </dev/null >/dev/null 2>&1 || true
echo "wine-prefix: $WINEPREFIX ($arch; printers: $printers; graphics: null; printer font: $face$(
  [ -f "$WINEPREFIX/.quillet-fonts" ] && echo " with Chinese, Japanese and Korean"); ${#entries[@]} faces linked behind it)"

#!/usr/bin/env bash
# The main job: sets the machine up (idempotently), builds QUILLETDLL.dll and
# quillet-print.exe for 32-bit Windows and for x64, prints the sample reports with
# each quillet-print.exe on the local PDF printer, writes a PNG preview of each
# PDF's first page beside it, lists what came out, and packs the release ZIP.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
builds="${QUILLET_BUILD:-$root/build}"
cd "$root"

bash scripts/setup.sh
bash scripts/printers.sh
bash scripts/wine-prefix.sh
bash scripts/wine-prefix.sh win64

export WINEDEBUG=-all
outdir="$HOME/PDF"
mkdir -p "$outdir"

# Options apply to every report named after them: the memo prints with the
# printer's defaults, the travel expenses (UTF-8: names, currencies and a table in
# Latin, Greek and Cyrillic letters) and the customer list (UTF-8: names in Latin,
# Chinese, Japanese, Korean, Hebrew, Arabic, Thai and Devanagari) in 10 point, the sales report on Letter
# with a ruler (from letter.cfg), the ledger on A4 in landscape. Wine maps / to Z:\
# in every prefix.
win() { echo "Z:${1//\//\\}"; }
args=(
  "$(win "$root/samples/memo.txt")"
  "-pitch=10" "$(win "$root/samples/travel.txt")" "$(win "$root/samples/customers.txt")"
  "-config=$(win "$root/samples/letter.cfg")" "$(win "$root/samples/quarterly.txt")"
  "-orientation=Landscape" "-form_id=A4" "-pitch=fit" "$(win "$root/samples/ledger.txt")"
)
want=5

# build FOLDER TOOLCHAIN ARCH [CMAKE ARGUMENT...]: build and check one architecture.
build() {
  local build="$builds/$1" toolchain="$2" arch="$3"
  shift 3
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" "$@" >/dev/null
  # What the release ZIP packs: the DLL, the program and the class of the jar.
  cmake --build "$build" --target QUILLETDLL quillet-print jar_class
  local dll="$build/bin/QUILLETDLL.dll"
  echo
  echo "Built $dll and quillet-print.exe ($arch, $(stat -c %s "$dll") bytes)"
  "$arch-w64-mingw32-objdump" -p "$dll" | sed -n 's/^\s*DLL Name: /  imports /p'
  bash scripts/check-dll.sh "$dll" "$arch"
}

# print_samples FOLDER ARCH: print the samples with one quillet-print.exe, preview
# and show the PDFs.
print_samples() {
  local exe="$builds/$1/bin/quillet-print.exe" arch="$2"
  local stamp
  stamp="$(mktemp)"
  echo
  echo "Printing with the $arch quillet-print.exe on $(bash scripts/wine-run.sh "$exe" --printer-name):"
  printf '  %s\n' "${args[@]}"
  bash scripts/wine-run.sh "$exe" "${args[@]}"

  # The PDF printer converts in the background: wait for one PDF per report.
  for _ in $(seq 150); do
    [ "$(find "$outdir" -name '*.pdf' -newer "$stamp" | wc -l)" -ge "$want" ] && break
    sleep 0.2
  done
  sleep 0.5
  local pdfs pdf
  mapfile -t pdfs < <(find "$outdir" -name '*.pdf' -newer "$stamp" -printf '%T@ %p\n' | sort -n | cut -d' ' -f2-)
  rm -f "$stamp"
  echo
  echo "${#pdfs[@]} PDF(s) from the $arch program in $outdir, each with a preview of its first page:"
  for pdf in "${pdfs[@]}"; do
    pdftoppm -png -r 60 -f 1 -l 1 -singlefile "$pdf" "${pdf%.pdf}"
    echo
    echo "== $pdf"
    echo "   preview ${pdf%.pdf}.png"
    pdfinfo "$pdf" | grep -E '^(Title|Pages|Page size|Page rot)' | sed 's/^/   /'
    echo "   first lines:"
    pdftotext -layout -l 1 "$pdf" - | sed '/^\s*$/d' | head -n 6 | sed 's/^/   | /'
  done
  [ "${#pdfs[@]}" -ge "$want" ] || { echo "expected $want PDFs from the $arch program" >&2; exit 1; }
}

# The x64 tree first: the 32-bit build's package takes its install too.
build win64 mingw-x86_64.cmake x86_64
build win32 mingw-i686.cmake i686 -DQUILLET_PACKAGE_WITH="$builds/win64"
print_samples win32 x86
print_samples win64 x64

echo
cpack --config "$builds/win32/CPackConfig.cmake" -B "$builds/dist" >/dev/null
zip="$(ls "$builds"/dist/quillet-*-windows.zip)"
echo "Release: $zip"
unzip -l "$zip" | sed -n 's/^ *[0-9]\+ \+[0-9-]\+ [0-9:]\+ \+\(.*[^/]\)$/  \1/p'

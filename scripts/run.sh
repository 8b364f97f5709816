#!/usr/bin/env bash
# The main job: sets the machine up (idempotently), builds QUILLETDLL.dll for 32-bit
# Windows and for x64, prints the sample reports through each on the local PDF
# printer, and shows what came out.
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
# printer's defaults, the sales report on Letter with a ruler (from letter.cfg),
# the ledger on A4 in landscape. Wine maps / to Z:\ in every prefix.
win() { echo "Z:${1//\//\\}"; }
args=(
  "$(win "$root/samples/memo.txt")"
  "-config=$(win "$root/samples/letter.cfg")" "$(win "$root/samples/quarterly.txt")"
  "-orientation=Landscape" "-form_id=A4" "-pitch=8" "$(win "$root/samples/ledger.txt")"
)
want=3

# run_one FOLDER TOOLCHAIN ARCH: build, check, print and show the PDFs of one DLL.
run_one() {
  local build="$builds/$1" toolchain="$2" arch="$3"
  cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/$toolchain" >/dev/null
  cmake --build "$build" --target QUILLETDLL quillet_host
  local dll="$build/bin/QUILLETDLL.dll"
  echo
  echo "Built $dll ($arch, $(stat -c %s "$dll") bytes)"
  "$arch-w64-mingw32-objdump" -p "$dll" | sed -n 's/^\s*DLL Name: /  imports /p'
  bash scripts/check-dll.sh "$dll" "$arch"

  local stamp
  stamp="$(mktemp)"
  echo
  echo "Printing through the $arch DLL on $(bash scripts/wine-run.sh "$build/bin/quillet_host.exe" --printer-name | tr -d '\r'):"
  printf '  %s\n' "${args[@]}"
  bash scripts/wine-run.sh "$build/bin/quillet_host.exe" "${args[@]}"

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
  echo "${#pdfs[@]} PDF(s) from the $arch DLL in $outdir:"
  for pdf in "${pdfs[@]}"; do
    echo
    echo "== $pdf"
    pdfinfo "$pdf" | grep -E '^(Title|Pages|Page size|Page rot)' | sed 's/^/   /'
    echo "   first lines:"
    pdftotext -layout -l 1 "$pdf" - | sed '/^\s*$/d' | head -n 6 | sed 's/^/   | /'
  done
  [ "${#pdfs[@]}" -ge "$want" ] || { echo "expected $want PDFs from the $arch DLL" >&2; exit 1; }
}

run_one win32 mingw-i686.cmake i686
run_one win64 mingw-x86_64.cmake x86_64

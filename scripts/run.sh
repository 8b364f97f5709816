#!/usr/bin/env bash
# The main job: sets the machine up (idempotently), builds QUILLETDLL.dll, prints
# the sample reports through it on the local PDF printer, and shows what came out.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
build="${QUILLET_BUILD:-$root/build}/win32"
cd "$root"

bash scripts/setup.sh
bash scripts/printers.sh
bash scripts/wine-prefix.sh

cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-i686.cmake" >/dev/null
cmake --build "$build" --target QUILLETDLL quillet_host
dll="$build/bin/QUILLETDLL.dll"
echo
echo "Built $dll ($(stat -c %s "$dll") bytes)"
i686-w64-mingw32-objdump -p "$dll" | sed -n 's/^\s*DLL Name: /  imports /p'
bash scripts/check-dll.sh "$dll"

export WINEPREFIX="${QUILLET_WINEPREFIX:-$HOME/.cache/quillet/wineprefix}" WINEDEBUG=-all
win() { winepath -w "$1" 2>/dev/null; }
outdir="$HOME/PDF"
mkdir -p "$outdir"
stamp="$(mktemp)"
trap 'rm -f "$stamp"' EXIT

# Options apply to every report named after them: the memo prints with the
# printer's defaults, the sales report on Letter with a ruler (from letter.cfg),
# the ledger on A4 in landscape.
args=(
  "$(win samples/memo.txt)"
  "-config=$(win samples/letter.cfg)" "$(win samples/quarterly.txt)"
  "-orientation=Landscape" "-form_id=A4" "-pitch=8" "$(win samples/ledger.txt)"
)
echo
echo "Printing on $(bash scripts/wine-run.sh "$build/bin/quillet_host.exe" --printer-name | tr -d '\r'):"
printf '  %s\n' "${args[@]}"
bash scripts/wine-run.sh "$build/bin/quillet_host.exe" "${args[@]}"

# The PDF printer converts in the background: wait for one PDF per report.
want=3
for _ in $(seq 150); do
  [ "$(find "$outdir" -name '*.pdf' -newer "$stamp" | wc -l)" -ge "$want" ] && break
  sleep 0.2
done
sleep 0.5
mapfile -t pdfs < <(find "$outdir" -name '*.pdf' -newer "$stamp" -printf '%T@ %p\n' | sort -n | cut -d' ' -f2-)
echo
echo "${#pdfs[@]} PDF(s) in $outdir:"
for pdf in "${pdfs[@]}"; do
  echo
  echo "== $pdf"
  pdfinfo "$pdf" | grep -E '^(Title|Pages|Page size|Page rot)' | sed 's/^/   /'
  echo "   first lines:"
  pdftotext -layout -l 1 "$pdf" - | sed '/^\s*$/d' | head -n 6 | sed 's/^/   | /'
done
[ "${#pdfs[@]}" -ge "$want" ] || { echo "expected $want PDFs" >&2; exit 1; }

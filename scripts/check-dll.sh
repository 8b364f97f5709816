#!/usr/bin/env bash
# Checks QUILLETDLL.dll from the outside: exact export names and ordinals, only
# Windows system DLLs among the imports, ASLR and DEP, and the version strings.
set -euo pipefail
dll="$1"
dump="$(i686-w64-mingw32-objdump -p "$dll")"
fail=0
problem() { echo "check-dll: $*" >&2; fail=1; }

base="$(sed -n 's/^Ordinal Base\s*//p' <<<"$dump" | awk '{print $1+0}')"
exports="$(awk -v base="$base" '/\[Ordinal\/Name Pointer\] Table/{on=1;next}
  on && match($0, /^[ \t]*\[ *[0-9]+\] /) { idx=$0; sub(/^[ \t]*\[ */, "", idx); sub(/\].*/, "", idx);
    name=$0; sub(/^[ \t]*\[ *[0-9]+\] /, "", name); printf "[%d] %s\n", idx+base, name; next }
  on { exit }' <<<"$dump" | sort)"
expected="$(sort <<'LIST'
[1] AbrtDlgP
[2] AbrtProc
[3] _Java_doc_NativeWindows_get_1printer_1name@8
[4] _Java_doc_NativeWindows_launch_1document@16
[5] _Java_doc_NativeWindows_quillet@12
[6] _Java_doc_NativeWindows_quillet_1setup@8
[7] _Java_doc_NativeWindows_read_1registry_1string@20
[8] _Java_doc_NativeWindows_shellexec@12
LIST
)"
names() { sed 's/^\[[0-9]*\] //' <<<"$1" | sort; }
[ "$(names "$exports")" = "$(names "$expected")" ] || problem "export names differ:"$'\n'"$exports"
grep -qx '\[1\] AbrtDlgP' <<<"$exports" || problem "AbrtDlgP is not ordinal 1"
grep -qx '\[2\] AbrtProc' <<<"$exports" || problem "AbrtProc is not ordinal 2"
grep -q 'JNI_OnLoad' <<<"$dump" && problem "JNI_OnLoad must not be exported"

allowed='^(KERNEL32|USER32|GDI32|COMDLG32|SHELL32|ADVAPI32|OLE32|msvcrt)\.dll$|^WINSPOOL\.DRV$'
while read -r name; do
  grep -qiE "$allowed" <<<"$name" || problem "imports a DLL that is not part of Windows: $name"
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")

chars="$(sed -n 's/^DllCharacteristics\s*//p' <<<"$dump" | awk '{print $1}')"
(( (16#$chars & 0x40) != 0 )) || problem "not linked for ASLR (DYNAMIC_BASE), DllCharacteristics=$chars"
(( (16#$chars & 0x100) != 0 )) || problem "not linked for DEP (NX_COMPAT), DllCharacteristics=$chars"

strings_le="$(strings -el "$dll")"
grep -qx 'Orvo Print Spooler' <<<"$strings_le" || problem "FileDescription 'Orvo Print Spooler' missing"
grep -qx 'QUILLETDLL.dll' <<<"$strings_le" || problem "OriginalFilename 'QUILLETDLL.dll' missing"

[ "$fail" -eq 0 ] && echo "check-dll: $dll exports, imports, ASLR/DEP and version resource as expected"
exit "$fail"

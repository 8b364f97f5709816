#!/usr/bin/env bash
# Checks QUILLETDLL.dll from the outside: exact export names and ordinals, only
# Windows system DLLs among the imports, ASLR and DEP (on x64 also high-entropy
# ASLR), and the version strings.
# Usage: check-dll.sh DLL [i686|x86_64]   (the architecture it must be built for)
set -euo pipefail
dll="$1"
arch="${2:-i686}"
case "$arch" in
  i686) format=pei-i386 ;;
  x86_64) format=pei-x86-64 ;;
  *) echo "check-dll: unknown architecture $arch" >&2; exit 2 ;;
esac
dump="$("$arch-w64-mingw32-objdump" -p "$dll")"
fail=0
problem() { echo "check-dll: $*" >&2; fail=1; }

grep -q "file format $format\$" <<<"$dump" || problem "not a $arch DLL: $(sed -n 's/.*file format //p' <<<"$dump" | head -n1)"

base="$(sed -n 's/^Ordinal Base\s*//p' <<<"$dump" | awk '{print $1+0}')"
exports="$(awk -v base="$base" '/\[Ordinal\/Name Pointer\] Table/{on=1;next}
  on && match($0, /^[ \t]*\[ *[0-9]+\] /) { idx=$0; sub(/^[ \t]*\[ */, "", idx); sub(/\].*/, "", idx);
    name=$0; sub(/^[ \t]*\[ *[0-9]+\] /, "", name); printf "[%d] %s\n", idx+base, name; next }
  on { exit }' <<<"$dump" | sort)"
# The native methods: stdcall-decorated on 32-bit Windows, plain JNI names on x64.
if [ "$arch" = i686 ]; then
  natives='_Java_doc_NativeWindows_get_1printer_1name@8
_Java_doc_NativeWindows_launch_1document@16
_Java_doc_NativeWindows_quillet@12
_Java_doc_NativeWindows_quillet_1setup@8
_Java_doc_NativeWindows_read_1registry_1string@20
_Java_doc_NativeWindows_shellexec@12'
else
  natives='Java_doc_NativeWindows_get_1printer_1name
Java_doc_NativeWindows_launch_1document
Java_doc_NativeWindows_quillet
Java_doc_NativeWindows_quillet_1setup
Java_doc_NativeWindows_read_1registry_1string
Java_doc_NativeWindows_shellexec'
fi
expected="$(printf '[1] AbrtDlgP\n[2] AbrtProc\n%s\n' "$natives" | sort)"
names() { sed 's/^\[[0-9]*\] //' <<<"$1" | sort; }
[ "$(names "$exports")" = "$(names "$expected")" ] || problem "export names differ:"$'\n'"$exports"
grep -qx '\[1\] AbrtDlgP' <<<"$exports" || problem "AbrtDlgP is not ordinal 1"
grep -qx '\[2\] AbrtProc' <<<"$exports" || problem "AbrtProc is not ordinal 2"
grep -q 'JNI_OnLoad' <<<"$dump" && problem "JNI_OnLoad must not be exported"

allowed='^(KERNEL32|USER32|GDI32|USP10|COMDLG32|SHELL32|ADVAPI32|OLE32|msvcrt)\.dll$|^WINSPOOL\.DRV$'
while read -r name; do
  grep -qiE "$allowed" <<<"$name" || problem "imports a DLL that is not part of Windows: $name"
done < <(sed -n 's/^\s*DLL Name: //p' <<<"$dump")

chars="$(sed -n 's/^DllCharacteristics\s*//p' <<<"$dump" | awk '{print $1}')"
(( (16#$chars & 0x40) != 0 )) || problem "not linked for ASLR (DYNAMIC_BASE), DllCharacteristics=$chars"
(( (16#$chars & 0x100) != 0 )) || problem "not linked for DEP (NX_COMPAT), DllCharacteristics=$chars"
if [ "$arch" = x86_64 ]; then
  (( (16#$chars & 0x20) != 0 )) || problem "not linked for high-entropy ASLR (HIGH_ENTROPY_VA), DllCharacteristics=$chars"
fi

strings_le="$(strings -el "$dll")"
grep -qx 'Orvo Print Spooler' <<<"$strings_le" || problem "FileDescription 'Orvo Print Spooler' missing"
grep -qx 'QUILLETDLL.dll' <<<"$strings_le" || problem "OriginalFilename 'QUILLETDLL.dll' missing"

[ "$fail" -eq 0 ] && echo "check-dll: $dll ($arch) exports, imports, ASLR/DEP and version resource as expected"
exit "$fail"

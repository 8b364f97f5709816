#!/usr/bin/env bash
# Builds the Java virtual machine that the JVM tests run under Wine: Avian, from
# the vendored archive in third_party/avian/ with the recorded change to its
# makefile, as an interpreter for 32-bit Windows and for x64, plus the class
# library the tests compile against. Prints the folder that holds them:
#   FOLDER/i386/avian.exe  FOLDER/x86_64/avian.exe  FOLDER/classpath.jar
#
# The folder is a cache ($QUILLET_AVIAN_CACHE, default ~/.cache/quillet/avian)
# keyed by the archive, the patch and the build command: a second run builds
# nothing. A build happens in a temporary folder beside the cache entry and is
# renamed into place when complete, so two runs at the same moment never see
# (or leave) half a JVM; the later rename simply loses to the earlier one.
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
vendor="$root/third_party/avian"
archive="$vendor/avian-0871979b.tar.gz"
patch_file="$vendor/avian-build.patch"
cache="${QUILLET_AVIAN_CACHE:-$HOME/.cache/quillet/avian}"

javac_real="$(readlink -f "$(command -v javac)")"
java_home="$(dirname "$(dirname "$javac_real")")"
# The interpreter: the JIT build of x86_64 crashes inside the JVM when a native
# method deletes the local references of its own arguments, which JNI allows.
# java-version: the makefile cannot read the version of a current JDK.
make_args=(platform=windows process=interpret java-version=8 "JAVA_HOME=$java_home")
archs=(i386 x86_64)

key="$( { sha256sum <"$archive"; sha256sum <"$patch_file"; echo "${make_args[*]:0:3} ${archs[*]}"; } \
        | sha256sum | cut -c1-16)"
entry="$cache/$key"

if [ -f "$entry/classpath.jar" ]; then
  echo "avian: cached in $entry (nothing to build)" >&2
  echo "$entry"
  exit 0
fi

mkdir -p "$cache"
work="$(mktemp -d "$cache/.build-$key.XXXXXX")"
trap 'rm -rf "$work"' EXIT
echo "avian: building the interpreter for ${archs[*]} in $work (a few minutes)" >&2
tar xzf "$archive" -C "$work"
src="$work/avian-0871979b"
patch -d "$src" -p1 --quiet <"$patch_file"
out="$work/out"
mkdir -p "$out"
for arch in "${archs[@]}"; do
  build="build/windows-$arch-interpret"
  log="$work/make-$arch.log"
  if ! make -C "$src" -j2 "${make_args[@]}" "arch=$arch" "$build/avian.exe" "$build/classpath.jar" >"$log" 2>&1; then
    tail -n 30 "$log" >&2
    echo "avian: the $arch build failed (log above)" >&2
    exit 1
  fi
  # Only Windows' own DLLs: anything else would be missing when the JVM starts.
  tool=i686-w64-mingw32-objdump
  [ "$arch" = x86_64 ] && tool=x86_64-w64-mingw32-objdump
  imports="$("$tool" -p "$src/$build/avian.exe" | sed -n 's/^\s*DLL Name: //p' | tr '\n' ' ')"
  for dll in $imports; do
    case "${dll,,}" in
      kernel32.dll | msvcrt.dll | ws2_32.dll | advapi32.dll | user32.dll | shell32.dll) ;;
      *) echo "avian: the $arch avian.exe imports $dll (imports: $imports)" >&2; exit 1 ;;
    esac
  done
  mkdir -p "$out/$arch"
  cp "$src/$build/avian.exe" "$out/$arch/avian.exe"
  # The class library is the same Java code for both architectures.
  [ -f "$out/classpath.jar" ] || cp "$src/$build/classpath.jar" "$out/classpath.jar"
done
cp "$vendor/LICENSE.txt" "$out/"

# Into place in one step; a run that finished first keeps its entry.
if mv -T "$out" "$entry" 2>/dev/null; then
  echo "avian: built $entry" >&2
else
  echo "avian: another run built $entry first; using it" >&2
fi
echo "$entry"

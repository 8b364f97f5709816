#!/usr/bin/env bash
# Installs what building and testing Quillet needs on a Debian machine.
# Safe to run again: every step checks first and skips what is already there.
set -euo pipefail

need_root() { if [ "$(id -u)" -ne 0 ]; then echo "setup: run as root" >&2; exit 1; fi; }
need_root
export DEBIAN_FRONTEND=noninteractive

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  rm -f /var/lib/apt/lists/.quillet-updated
fi

packages=(
  g++-mingw-w64-i686 cmake ninja-build make g++ libgtest-dev
  wine wine32:i386 libcups2:i386
  cups cups-client cups-ipp-utils printer-driver-cups-pdf poppler-utils ghostscript
  python3 clang
)
# The x64 library: its cross compiler, and 64-bit Wine beside the 32-bit one.
packages+=(g++-mingw-w64-x86-64 wine64)
# The Java virtual machine of the JVM tests (scripts/avian.sh): zlib for Windows
# and for its build tools, and the tool that applies its recorded change.
packages+=(libz-mingw-w64-dev zlib1g-dev patch)
# Glyphs for other scripts in the printer's own face under Wine
# (scripts/wine-prefix.sh): the face itself, DejaVu Sans for Hebrew and Arabic,
# WenQuanYi Micro Hei for Chinese, Japanese and Korean, and fc-list to find them.
packages+=(fonts-dejavu-core fonts-wqy-microhei fontconfig)
# Unicode's own conformance files for the order of right-to-left text
# (BidiTest.txt, BidiCharacterTest.txt), which a native test runs in full.
packages+=(unicode-data)
command -v javac >/dev/null 2>&1 || packages+=(default-jdk-headless)
# Maven, and the plugin that installs the release's jar by its own coordinates
# (the JVM tests run it on Debian's repository of Maven plugins, offline).
packages+=(maven libmaven-install-plugin-java)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ "${#missing[@]}" -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
else
  echo "setup: all packages present"
fi

# libFuzzer and the sanitizer runtimes of whichever clang the distribution installed.
clang_rt="libclang-rt-$(clang -dumpversion | cut -d. -f1)-dev"
if ! dpkg-query -W -f='${Status}' "$clang_rt" 2>/dev/null | grep -q 'install ok installed'; then
  echo "setup: installing $clang_rt"
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "$clang_rt" >/dev/null
fi

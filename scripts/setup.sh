#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian's packages only.
# Safe to run again: it skips everything already present and is quick then.
set -euo pipefail

need=()
have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
  added_arch=1
fi

# 64-bit MinGW and Wine too: on a machine that cannot run 32-bit programs the
# tests under Wine run a 64-bit build (scripts/windows-build.sh).
for pkg in cmake make g++ googletest libgtest-dev g++-mingw-w64-i686 binutils-mingw-w64-i686 \
           g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine32:i386 wine64 xvfb x11-apps x11-utils imagemagick clang libclang-rt-14-dev libcli11-dev zlib1g-dev libz-mingw-w64-dev \
           clang-format; do
  have_pkg "$pkg" || need+=("$pkg")
done

if [ ${#need[@]} -gt 0 ] || [ -n "${added_arch:-}" ]; then
  echo "setup: installing ${need[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  if [ ${#need[@]} -gt 0 ]; then
    apt-get install -y -qq --no-install-recommends "${need[@]}" >/dev/null
  fi
fi

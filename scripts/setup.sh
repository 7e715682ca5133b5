#!/usr/bin/env bash
# Installs what the build and the tests need, from Debian's packages only.
# Safe to run again: it skips everything already present and is quick then.
# It fails only when a package it needs cannot be installed, and names it.
set -uo pipefail

have_pkg() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Runs a few bytes of i386 program (it exits with 42). Answers whether this
# machine can run 32-bit programs at all: a kernel without 32-bit support
# refuses it with "Exec format error", and then 32-bit Wine is useless here.
can_run_i386() {
  local probe
  probe=$(mktemp /tmp/orvanel-i386-probe.XXXXXX) || return 1
  # ELF header, one loadable segment at 0x08048000, then
  # mov eax,1; mov ebx,42; int 0x80 (exit(42)).
  printf '\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00' >"$probe"
  printf '\x02\x00\x03\x00\x01\x00\x00\x00\x54\x80\x04\x08\x34\x00\x00\x00' >>"$probe"
  printf '\x00\x00\x00\x00\x00\x00\x00\x00\x34\x00\x20\x00\x01\x00\x00\x00' >>"$probe"
  printf '\x00\x00\x00\x00' >>"$probe"
  printf '\x01\x00\x00\x00\x00\x00\x00\x00\x00\x80\x04\x08\x00\x80\x04\x08' >>"$probe"
  printf '\x60\x00\x00\x00\x60\x00\x00\x00\x05\x00\x00\x00\x00\x10\x00\x00' >>"$probe"
  printf '\xb8\x01\x00\x00\x00\xbb\x2a\x00\x00\x00\xcd\x80' >>"$probe"
  chmod +x "$probe"
  "$probe" 2>/dev/null
  local status=$?
  rm -f "$probe"
  [ "$status" -eq 42 ]
}

# apt-get update a few times: a mirror in the middle of a sync fails one
# index for a while. If some still fail, go on: the install decides.
update_indexes() {
  local try
  for try in 1 2 3; do
    apt-get update -qq && return 0
    [ "$try" -lt 3 ] && { echo "setup: apt-get update failed, trying again in 10 s"; sleep 10; }
  done
  echo "setup: some package indexes could not be updated; installing from what there is"
}

# 64-bit MinGW and Wine too: on a machine that cannot run 32-bit programs the
# tests under Wine run a 64-bit build (scripts/windows-build.sh).
packages=(cmake make g++ googletest libgtest-dev g++-mingw-w64-i686 binutils-mingw-w64-i686
          g++-mingw-w64-x86-64 binutils-mingw-w64-x86-64 wine wine64 xvfb x11-apps x11-utils
          imagemagick clang libclang-rt-14-dev libcli11-dev zlib1g-dev libz-mingw-w64-dev
          clang-format strace python3-pefile)
optional=()
added_arch=
if can_run_i386; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    dpkg --add-architecture i386
    added_arch=1
  fi
  optional+=(wine32:i386)
else
  echo "setup: this machine cannot run 32-bit programs; the tests under Wine will run the 64-bit build"
fi

need=()
for pkg in "${packages[@]}"; do have_pkg "$pkg" || need+=("$pkg"); done
want=()
for pkg in "${optional[@]}"; do have_pkg "$pkg" || want+=("$pkg"); done
[ ${#need[@]} -eq 0 ] && [ ${#want[@]} -eq 0 ] && [ -z "$added_arch" ] && exit 0

export DEBIAN_FRONTEND=noninteractive
echo "setup: installing $(echo ${need[*]} ${want[*]})"
# 32-bit Wine alone missing (it could not be installed last time) is tried
# from the indexes there are, so that a second run stays quick.
if [ ${#need[@]} -gt 0 ] || [ -n "$added_arch" ]; then update_indexes; fi
install() { apt-get install -y -qq --no-install-recommends "$@" >/dev/null; }

# The version of PACKAGE (name:arch) that SUITE's own index holds, if any.
suite_version() {
  apt-cache madison "$1" 2>/dev/null | awk -F' [|] ' -v suite=" $2/" 'index($3, suite) { print $2; exit }'
}

# When one suite's i386 index is out of step (the security suite's, say), apt
# finds no i386 library at the version of its amd64 twin already installed,
# and a library of both architectures must have one version. This installs
# PACKAGES from the release suite alone, holding each library apt names as
# unmet at that suite's version for both architectures (a downgrade of the
# amd64 one where needed), and says what it held.
install_from_one_suite() {
  local suite held=() names name version try
  suite=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  [ -n "$suite" ] || return 1
  local args=(-t "$suite" --allow-downgrades)
  for try in 1 2 3 4 5; do
    names=$(apt-get install -s --no-install-recommends "${args[@]}" "$@" "${held[@]}" 2>&1 |
      sed -n 's/.*Depends: \([^ ]*\):i386 .*not going to be installed.*/\1/p' | sort -u)
    [ -z "$names" ] && break
    local before=${#held[@]}
    for name in $names; do
      version=$(suite_version "$name:i386" "$suite")
      [ -n "$version" ] && [ "$(suite_version "$name:amd64" "$suite")" = "$version" ] || continue
      printf '%s\n' "${held[@]}" | grep -qxF "$name=$version" && continue
      held+=("$name=$version" "$name:i386=$version")
    done
    [ ${#held[@]} -eq "$before" ] && return 1
  done
  install "${args[@]}" "$@" "${held[@]}" || return 1
  echo "setup: installed $* from $suite alone, the i386 index of another suite being out of step"
  [ ${#held[@]} -gt 0 ] && echo "setup: held for both architectures at $suite's version: ${held[*]}"
  return 0
}

if [ ${#need[@]} -gt 0 ] && ! install "${need[@]}"; then
  # Try one at a time to name the package that cannot be installed.
  failed=()
  for pkg in "${need[@]}"; do have_pkg "$pkg" || install "$pkg" || failed+=("$pkg"); done
  if [ ${#failed[@]} -gt 0 ]; then
    echo "setup: could not install ${failed[*]}"
    echo "setup: try again with: apt-get update && apt-get install ${failed[*]}"
    exit 1
  fi
fi
# 32-bit Wine lets the tests run the programs the zip ships; without it they
# run the 64-bit build, so it never fails the setup.
if [ ${#want[@]} -gt 0 ] && ! install "${want[@]}" 2>/dev/null && ! install_from_one_suite "${want[@]}"; then
  echo "setup: could not install ${want[*]}; the tests under Wine will run the 64-bit build"
fi
exit 0

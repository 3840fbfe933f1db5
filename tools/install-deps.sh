#!/usr/bin/env bash
# Installs what the build and the tests need on a fresh Debian machine. Quick when all is there.
set -euo pipefail
# python3 draws the theme artwork and encodes the message texts at build time.
build_pkgs=(cmake make g++-mingw-w64-x86-64-posix g++-mingw-w64-i686-posix mingw-w64-tools python3)
# wine64-preloader: without it the loader's own heap can take the address at which every Wine
# process maps its shared user data, and the process ends at start with exit code 1 and (with
# WINEDEBUG=-all) no word of why.
test_pkgs=(wine64 wine64-preloader xvfb x11-utils imagemagick iproute2 python3 python3-pytest googletest clang libclang-rt-14-dev util-linux)
want=("${build_pkgs[@]}")
[ "${1:-}" = "--test" ] && want+=("${test_pkgs[@]}")
missing=()
for p in "${want[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "installing: ${missing[*]}"
  SUDO=""; [ "$(id -u)" -ne 0 ] && SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

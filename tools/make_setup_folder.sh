#!/usr/bin/env bash
# Lays out the setup folder of one architecture: the setup program with its script files
# beside it, and the files it installs below Files\.
# Usage: make_setup_folder.sh BUILD_DIR DIST_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1; dist=$2
setup="$dist/setup"
mkdir -p "$setup/Files/Themes" "$setup/Files/Drivers"
cp -r "$root/setup/script/." "$setup/"
mv "$setup/Remvane.ini" "$setup/Files/Remvane.ini"
for f in $(cat "$build/deliverables.txt"); do
  case "$f" in
    setup/*) ;;
    Themes/*) cp "$build/bin/$f" "$setup/Files/Themes/" ;;
    *) cp "$build/bin/$f" "$setup/Files/" ;;
  esac
done
# The driver packages (built with the test stand-ins in the x64 tree).
if [ -d "$build/bin/driver_packages" ]; then
  cp -r "$build/bin/driver_packages/." "$setup/Files/Drivers/"
fi

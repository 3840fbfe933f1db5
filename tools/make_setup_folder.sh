#!/usr/bin/env bash
# Lays out the setup folder of one architecture: the setup program with its script files
# beside it, and the files it installs below Files\.
# Usage: make_setup_folder.sh BUILD_DIR DIST_DIR
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
build=$1; dist=$2
setup="$dist/setup"
mkdir -p "$setup/Files/Themes" "$setup/Drivers"
cp -r "$root/setup/script/." "$setup/"
mv "$setup/Remvane.ini" "$setup/Files/Remvane.ini"
for f in $(cat "$build/deliverables.txt"); do
  case "$f" in
    setup/*) cp "$build/bin/$f" "$setup/" ;;
    Themes/*) cp "$build/bin/$f" "$setup/Files/Themes/" ;;
    *) cp "$build/bin/$f" "$setup/Files/" ;;
  esac
done
# The driver packages (built with the test stand-ins in the x64 tree), where the component
# INI names them both in the setup folder and in the installed folder.
if [ -d "$build/bin/driver_packages" ]; then
  cp -r "$build/bin/driver_packages/." "$setup/Drivers/"
fi
# The setup helper library beside the setup program (the stand-in of the test builds).
for f in _Setup64.dll _Setup.dll; do
  if [ -f "$build/bin/$f" ]; then cp "$build/bin/$f" "$setup/"; fi
done

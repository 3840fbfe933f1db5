#!/usr/bin/env bash
# Builds every deliverable for x64 and x86 and copies them into dist/x64 and dist/x86.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash tools/install-deps.sh "${QZ_DEPS_MODE:-}"
for arch in x64 x86; do
  cmake --preset "$arch" >/dev/null
  cmake --build --preset "$arch" -- --no-print-directory
  mkdir -p "dist/$arch"
  for f in $(cat "build/$arch/deliverables.txt"); do
    mkdir -p "dist/$arch/$(dirname "$f")"
    cp "build/$arch/bin/$f" "dist/$arch/$f"
  done
  bash tools/make_setup_folder.sh "build/$arch" "dist/$arch"
done
echo "deliverables:"; ls -lR dist/x64 dist/x86

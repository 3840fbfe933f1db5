#!/usr/bin/env bash
# Builds everything (x64 and x86) and runs every test of the x64 build under Wine, inside the
# private test network of tools/testnet.sh.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
bash tools/install-deps.sh --test
QZ_DEPS_MODE=--test bash tools/build.sh >/dev/null
cmake --build --preset x64 --target qz_tests -- --no-print-directory >/dev/null
exec bash tools/testnet.sh bash tools/run-tests.sh "$root/build/x64" "$@"

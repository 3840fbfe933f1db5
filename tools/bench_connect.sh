#!/usr/bin/env bash
# Connect/disconnect benchmark (not a test): the time of one connect and one disconnect against
# the simulator, and how much of it lies beyond the waits the library is built to make.
# Usage: bash tools/bench_connect.sh [--rounds N]
#   QZ_BENCH_BUILD  the x64 build tree with harness.exe and wine-run (default build/x64)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build="${QZ_BENCH_BUILD:-$root/build/x64}"

if [ "${1:-}" != "--inside" ]; then
  bash tools/install-deps.sh --test
  if [ -z "${QZ_BENCH_BUILD:-}" ]; then
    cmake --preset x64 >/dev/null
    cmake --build --preset x64 --target harness -- --no-print-directory >/dev/null
  fi
  exec bash tools/testnet.sh bash "$root/tools/bench_connect.sh" --inside "$@"
fi
shift

library="Z:$(echo "$build/bin/Pnxscapi.dll" | tr / '\\')"
exec bash "$root/tools/inside_session.sh" "$build" --driver python3 "$root/tools/bench_connect.py" \
  --wine-run "$build/wine-run" --harness "$build/bin/harness.exe" --library "$library" \
  --bridge "$build/bin/zkuptp_bridge.exe" "$@"

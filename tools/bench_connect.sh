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

export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
[ -d "$WINEPREFIX" ] && /usr/lib/wine/wineserver -k 2>/dev/null || true
fifo=$(mktemp -u); mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r disp <"$fifo"; rm -f "$fifo"
export DISPLAY=":$disp"
"$build/wine-run" "$build/bin/zkuptp_install.exe" install >/dev/null
trap '"$build/wine-run" "$build/bin/zkuptp_install.exe" remove >/dev/null 2>&1; /usr/lib/wine/wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null' EXIT
library="Z:$(echo "$build/bin/Pnxscapi.dll" | tr / '\\')"
python3 "$root/tools/bench_connect.py" --wine-run "$build/wine-run" --harness "$build/bin/harness.exe" \
  --library "$library" --bridge "$build/bin/zkuptp_bridge.exe" "$@"

#!/usr/bin/env bash
# The suite's first real job, end to end: in the private test network, a simulator plays a few
# device servers, Pnxscapi.dll (from dist/x64) runs under Wine in the test harness, registers a
# window, starts the service and lists the servers it finds and the USB devices of each; then
# it connects one device through the simulated bus driver and disconnects it again.
# Usage: bash tools/demo.sh        (builds dist/ first, as tools/build.sh does)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ "${1:-}" != "--inside" ]; then
  bash tools/install-deps.sh --test
  bash tools/build.sh >/dev/null
  cmake --preset x64 >/dev/null
  cmake --build --preset x64 --target harness guidriver -- --no-print-directory >/dev/null
  exec bash tools/testnet.sh bash "$root/tools/demo.sh" --inside
fi

# Inside the PC namespace: a private X server for the library's windows, a fresh Wine session.
build="${QZ_DEMO_BUILD:-$root/build/x64}"
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
[ -d "$WINEPREFIX" ] && /usr/lib/wine/wineserver -k 2>/dev/null || true
fifo=$(mktemp -u); mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r disp <"$fifo"; rm -f "$fifo"
export DISPLAY=":$disp"
trap '/usr/lib/wine/wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null' EXIT

# The simulated bus driver, as the tests install it; removed again at the end.
"$build/wine-run" "$build/bin/zkuptp_install.exe" install >/dev/null
trap '"$build/wine-run" "$build/bin/zkuptp_install.exe" remove >/dev/null 2>&1; /usr/lib/wine/wineserver -k 2>/dev/null; kill $xvfb 2>/dev/null' EXIT

library="Z:$(echo "${QZ_DEMO_LIBRARY:-$root/dist/x64/Pnxscapi.dll}" | tr / '\\')"
python3 "$root/tools/demo.py" --wine-run "$build/wine-run" --harness "$build/bin/harness.exe" \
  --library "$library" --bridge "$build/bin/zkuptp_bridge.exe"

# The utility against the same servers: its main dialog, photographed (tools/main_job.png).
python3 "$root/tools/demo_utility.py" --wine-run "$build/wine-run" --build "$build" \
  --utility "$root/dist/x64/QuelboZovu.exe" --out "${QZ_DEMO_SCREENSHOT:-$root/tools/main_job.png}"

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
  cmake --build --preset x64 --target harness -- --no-print-directory >/dev/null
  exec bash tools/testnet.sh bash "$root/tools/demo.sh" --inside
fi

# Inside the PC namespace: X, a fresh Wine session and the simulated bus driver.
build="${QZ_DEMO_BUILD:-$root/build/x64}"
library="Z:$(echo "${QZ_DEMO_LIBRARY:-$root/dist/x64/Pnxscapi.dll}" | tr / '\\')"
exec bash "$root/tools/inside_session.sh" "$build" --driver python3 "$root/tools/demo.py" \
  --wine-run "$build/wine-run" --harness "$build/bin/harness.exe" --library "$library" \
  --bridge "$build/bin/zkuptp_bridge.exe"

#!/usr/bin/env bash
# The suite's first real job, end to end: in the private test network, a simulator plays a few
# device servers, Pnxscapi.dll (from dist/x64) runs under Wine in the test harness, registers a
# window, starts the service and lists the servers it finds and the USB devices of each; then
# it connects one device through the simulated bus driver and disconnects it again. Then the
# utility does the same as a person would: select a device, press Connect, see it connected.
# Last, the silent setup installs the suite into a fresh prefix and its uninstaller removes it
# again (tools/demo_life.sh).
# Usage: bash tools/demo.sh        (builds dist/ first, as tools/build.sh does)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ "${1:-}" != "--inside" ]; then
  bash tools/install-deps.sh --test
  bash tools/build.sh >/dev/null
  cmake --preset x64 >/dev/null
  cmake --build --preset x64 --target harness guidriver session_keeper -- --no-print-directory >/dev/null
  exec bash tools/testnet.sh bash "$root/tools/demo.sh" --inside
fi

# Inside the PC namespace: X, a fresh Wine session and the simulated bus driver.
build="${QZ_DEMO_BUILD:-$root/build/x64}"
library="Z:$(echo "${QZ_DEMO_LIBRARY:-$root/dist/x64/Pnxscapi.dll}" | tr / '\\')"
# First the library through the harness, then the utility against the same servers: it lists
# them, connects a device through the simulated bus driver and shows it connected in its main
# dialog, photographed (tools/main_job.png).
export QZ_ROOT="$root" QZ_BUILD="$build" QZ_LIBRARY="$library"
export QZ_SHOT="${QZ_DEMO_SCREENSHOT:-$root/tools/main_job.png}"
exec bash "$root/tools/inside_session.sh" "$build" --driver bash -c '
  python3 "$QZ_ROOT/tools/demo.py" --wine-run "$QZ_BUILD/wine-run" --harness "$QZ_BUILD/bin/harness.exe" \
    --library "$QZ_LIBRARY" --bridge "$QZ_BUILD/bin/zkuptp_bridge.exe" &&
  python3 "$QZ_ROOT/tools/demo_utility.py" --wine-run "$QZ_BUILD/wine-run" --build "$QZ_BUILD" \
    --utility "$QZ_ROOT/dist/x64/QuelboZovu.exe" --out "$QZ_SHOT" &&
  bash "$QZ_ROOT/tools/demo_life.sh" --inside'

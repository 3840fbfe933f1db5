#!/usr/bin/env bash
# Discovery benchmark (not a test): time from PnxStartService to the last new-server notice
# for 10, 100 and 250 simulated servers, and the library's CPU time while idle with 250 servers
# for 60 s, each beside the floor of tests/harness/floor (bench_floor.exe) and as a ratio to
# it; then the memory of the library's process with 250 servers of 8 USB devices each, beside
# an empty host process and the library with no server. Runs in its own test network, whose
# LAN side gets the addresses up to 10.77.0.251.
# Usage: bash tools/bench_discovery.sh [bench_discovery.py options, e.g. --rounds 5, --only memory]
#   QZ_BENCH_BUILD  the x64 build tree with harness.exe and wine-run (default build/x64)
#   QZ_BENCH_LIBRARY  the Pnxscapi.dll to measure (default: the build tree's)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build="${QZ_BENCH_BUILD:-$root/build/x64}"

if [ "${1:-}" != "--inside" ]; then
  bash tools/install-deps.sh --test
  if [ -z "${QZ_BENCH_BUILD:-}" ]; then
    cmake --preset x64 >/dev/null
    cmake --build --preset x64 --target harness bench_floor -- --no-print-directory >/dev/null
  fi
  exec bash tools/testnet.sh bash "$root/tools/bench_discovery.sh" --inside "$@"
fi
shift

# testnet.sh gives the LAN side 10.77.0.2-61; 250 servers need 10.77.0.2-251.
lan_dev=$(ip -n "$QZ_LAN_NS" -o link show type veth | awk -F': ' '{print $2}' | cut -d@ -f1)
for i in $(seq 62 251); do
  ip -n "$QZ_LAN_NS" addr add "10.77.0.$i/24" broadcast 10.77.0.255 dev "$lan_dev"
done

library="Z:$(echo "${QZ_BENCH_LIBRARY:-$build/bin/Pnxscapi.dll}" | tr / '\\')"
exec bash "$root/tools/inside_session.sh" "$build" python3 "$root/tools/bench_discovery.py" \
  --wine-run "$build/wine-run" --harness "$build/bin/harness.exe" --floor "$build/bin/bench_floor.exe" --library "$library" "$@"

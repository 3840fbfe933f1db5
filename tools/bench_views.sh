#!/usr/bin/env bash
# Views benchmark (not a test): the utility with 250 simulated servers of 8 USB devices each
# (2,000 list rows, 2,250 tree items): how long its list and tree take to fill, how long the
# GUI thread is busy while the library's notices arrive, how long one full refresh of the list
# (REFRESH: every row to "Receiving status" and back), one column filled for every row, one
# full repaint and the exit (from the exit message to the process end, with its parts) take.
# Runs in its own test network, whose LAN side gets 10.77.0.2 to .251.
# Usage: bash tools/bench_views.sh [bench_views.py options, e.g. --rounds 3, --only exit,
#   --no-wm-waits]
#   QZ_BENCH_BUILD  the x64 build tree with QuelboZovu.exe, guidriver.exe and wine-run
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"
build="${QZ_BENCH_BUILD:-$root/build/x64}"

if [ "${1:-}" != "--inside" ]; then
  bash tools/install-deps.sh --test
  if [ -z "${QZ_BENCH_BUILD:-}" ]; then
    cmake --preset x64 >/dev/null
    cmake --build --preset x64 --target QuelboZovu guidriver session_keeper harness -- --no-print-directory >/dev/null
  fi
  exec bash tools/testnet.sh bash "$root/tools/bench_views.sh" --inside "$@"
fi
shift

# testnet.sh gives the LAN side 10.77.0.2-61; 250 servers need 10.77.0.2-251.
lan_dev=$(ip -n "$QZ_LAN_NS" -o link show type veth | awk -F': ' '{print $2}' | cut -d@ -f1)
for i in $(seq 62 251); do
  ip -n "$QZ_LAN_NS" addr add "10.77.0.$i/24" broadcast 10.77.0.255 dev "$lan_dev"
done

exec bash "$root/tools/inside_session.sh" "$build" python3 "$root/tools/bench_views.py" \
  --wine-run "$build/wine-run" --build "$build" "$@"

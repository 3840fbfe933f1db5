#!/usr/bin/env bash
# Runs a command on the PC side of the test network with what the main job and the benchmarks
# need there: a private X server, a fresh Wine session of the build tree and, with --driver,
# the simulated bus driver installed for the run (removed again at the end).
# Usage: inside_session.sh BUILD_DIR [--driver] CMD...   (inside tools/testnet.sh)
set -euo pipefail
build=$1; shift
driver=0
if [ "${1:-}" = "--driver" ]; then driver=1; shift; fi
export WINEPREFIX="$build/wineprefix" WINEDEBUG=-all
[ -d "$WINEPREFIX" ] && /usr/lib/wine/wineserver -k 2>/dev/null || true
fifo=$(mktemp -u); mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r disp <"$fifo"; rm -f "$fifo"
export DISPLAY=":$disp"
cleanup() {
  [ $driver -eq 1 ] && "$build/wine-run" "$build/bin/zkuptp_install.exe" remove >/dev/null 2>&1
  /usr/lib/wine/wineserver -k 2>/dev/null
  kill $xvfb 2>/dev/null
}
trap cleanup EXIT
# The keeper holds the session's desktop open between programs (tests/harness/keeper/).
if [ -x "$build/bin/session_keeper.exe" ]; then
  coproc KEEPER { "$build/wine-run" "$build/bin/session_keeper.exe" 2>/dev/null; }
  read -r -t 120 ready <&"${KEEPER[0]}" || echo "inside_session: the session keeper did not start" >&2
fi
[ $driver -eq 1 ] && "$build/wine-run" "$build/bin/zkuptp_install.exe" install >/dev/null
"$@"

#!/usr/bin/env bash
# Runs inside the PC namespace: a private X server, a fresh Wine session, then ctest.
# Usage: run-tests.sh BUILD_DIR [ctest args...]
set -uo pipefail
build=$1; shift
export WINEPREFIX="$build/wineprefix"
export WINEDEBUG=-all
# A Wine session left from outside this namespace would see the host's adapters: end it.
[ -d "$WINEPREFIX" ] && /usr/lib/wine/wineserver -k 2>/dev/null

fifo=$(mktemp -u); mkfifo "$fifo"
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
xvfb=$!
read -r disp <"$fifo"; rm -f "$fifo"
export DISPLAY=":$disp"

# Wine closes the session's desktop a second after the last program on it ends, and a program
# that starts meanwhile gets the closing desktop and no window. The keeper stays on the desktop
# until ctest is done (tests/harness/keeper/session_keeper.cpp).
# Its "ready" also says that the session can make windows: no test starts before that. The
# first keeper of a fresh prefix creates the prefix first, which takes minutes on a loaded
# machine; a session that still has no desktop then is ended and started once more.
start_keeper() {
  coproc KEEPER { "$build/wine-run" "$build/bin/session_keeper.exe" 2>/dev/null; }
  local ready=""
  read -r -t 600 ready <&"${KEEPER[0]}"
  [ "${ready%$'\r'}" = ready ]  # a Windows program's line ends in CR LF
}
if ! start_keeper; then
  echo "run-tests: the session keeper did not start: the Wine session is started again" >&2
  keeper=$KEEPER_PID
  /usr/lib/wine/wineserver -k 2>/dev/null
  kill "$keeper" 2>/dev/null; wait "$keeper" 2>/dev/null
  if ! start_keeper; then
    echo "run-tests: the Wine session has no desktop: no test can make a window" >&2
    /usr/lib/wine/wineserver -k 2>/dev/null
    kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
    exit 1
  fi
fi

# No retry: a test that fails once fails the run. QZ_CTEST_REPEAT passes a repeat mode to ctest
# for local hunting (e.g. QZ_CTEST_REPEAT=until-fail:20 bash tools/test.sh -R Name).
ctest --test-dir "$build" -j8 --output-on-failure --timeout 300 ${QZ_CTEST_REPEAT:+--repeat "$QZ_CTEST_REPEAT"} "$@"
rc=$?

/usr/lib/wine/wineserver -k 2>/dev/null
kill "$xvfb" 2>/dev/null; wait "$xvfb" 2>/dev/null
exit $rc

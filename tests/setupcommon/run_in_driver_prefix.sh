#!/usr/bin/env bash
# Runs the driver tests that install into the prefix itself in a throwaway Wine prefix of their
# own, so that the prefix every other test shares never sees their drivers come and go.
# Usage: run_in_driver_prefix.sh TEST_PROGRAM GTEST_FILTER
set -u
program=$1
filter=$2
export WINEPREFIX="$(dirname "$program")/../wineprefix_drivers"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="winemenubuilder.exe=d;mscoree=;mshtml="
WINE=/usr/lib/wine/wine64
WINESERVER=/usr/lib/wine/wineserver

"$WINESERVER" -k </dev/null >/dev/null 2>&1
rm -rf "$WINEPREFIX"
# Every step is bounded: a stuck step fails the test instead of holding the run.
timeout 90 "$WINE" wineboot -i </dev/null >/dev/null 2>&1
timeout 60 "$WINESERVER" -w </dev/null >/dev/null 2>&1
# Detached, as in wine-run: Wine's helper processes must not hold ctest's output pipe.
setsid "$WINESERVER" -p </dev/null >/dev/null 2>&1
timeout 30 "$WINE" cmd /c exit </dev/null >/dev/null 2>&1

# Output through files, never a pipe that a Wine helper process could keep open.
out=$(mktemp)
err=$(mktemp)
QZ_DRIVER_PREFIX=1 timeout 90 "$WINE" "$program" --gtest_filter="$filter" >"$out" 2>"$err"
rc=$?
cat "$out"
cat "$err" >&2
# A filter that selects nothing passes in GoogleTest: here it is a failure.
grep -q 'PASSED  \] [1-9]' "$out" || rc=1
rm -f "$out" "$err"
"$WINESERVER" -k </dev/null >/dev/null 2>&1
rm -rf "$WINEPREFIX"
exit $rc

#!/usr/bin/env bash
# The suite installed and removed again in a Wine prefix of its own: the silent setup from
# dist/x64/setup installs it, the installed uninstaller removes it (silently, -t: no restart),
# and what each step leaves is shown. The setup helper library is the test stand-in, which
# logs the firewall calls instead of making them.
# Usage: bash tools/demo_life.sh            (builds dist/ first, then runs in the test network)
#        bash tools/demo_life.sh --inside   (inside tools/testnet.sh, as tools/demo.sh calls it)
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
cd "$root"

if [ "${1:-}" != "--inside" ]; then
  bash tools/install-deps.sh --test
  bash tools/build.sh >/dev/null
  exec bash tools/testnet.sh bash "$root/tools/demo_life.sh" --inside
fi

build="${QZ_DEMO_BUILD:-$root/build/x64}"
life="$build/demo_life"
rm -rf "$life"
mkdir -p "$life"
cp -r "$root/dist/x64/setup" "$life/setup"
# The build's Wine wrapper, aimed at a prefix of its own.
sed "s|$build/wineprefix|$life/prefix|g" "$build/wine-run" >"$life/wine-run"
chmod +x "$life/wine-run"
export WINEPREFIX="$life/prefix" WINEDEBUG=-all
export QZ_SETUP_HELPER_LOG="Z:$(echo "$life/helper.log" | tr / '\\')"

xvfb=""
if [ -z "${DISPLAY:-}" ]; then
  fifo=$(mktemp -u); mkfifo "$fifo"
  Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$fifo" >/dev/null 2>&1 &
  xvfb=$!
  read -r disp <"$fifo"; rm -f "$fifo"
  export DISPLAY=":$disp"
fi
cleanup() {
  /usr/lib/wine/wineserver -k 2>/dev/null || true
  [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
}
trap cleanup EXIT

drive="$life/prefix/drive_c"
folder="$drive/Program Files/Orvik/Quelbo Plus"
entry='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Quelbo Plus'
show() {
  echo "  files of the suite:"
  if [ -d "$folder" ]; then (cd "$folder" && find . -type f | sort | sed 's|^\./|    |'); else echo "    (no install folder)"; fi
  echo "  Uninstall entry:"
  "$life/wine-run" reg query "$entry" 2>/dev/null | tr -d '\r' | grep -E 'REG_' | sed 's/^ */    /' || echo "    (none)"
  echo "  helper service:"
  "$life/wine-run" sc query "Orvik Quelbo Plus Helper" 2>/dev/null | tr -d '\r' | grep -E 'STATE' | sed 's/^ */    /' \
    || echo "    (none)"
}

echo "A fresh prefix: $life/prefix"
"$life/wine-run" cmd /c exit

echo
echo "Silent install: QuelboPlusSetup64.exe -k -Dlog"
(cd "$life/setup" && "$life/wine-run" QuelboPlusSetup64.exe -k -Dlog) && echo "  exit code 0"
show
echo "  firewall rules asked for:"
grep -a '^WindowsFirewallAdd' "$life/helper.log" | tr -d '\r' | sed 's/^/    /' || true

rm -f "$life/helper.log" "$drive/Setup.txt"
echo
echo "Silent removal: Remvane.exe -s -t -dlog (the uninstaller then runs its second stage from TEMP)"
"$life/wine-run" 'C:\Program Files\Orvik\Quelbo Plus\Uninstall\Remvane.exe' -s -t -dlog || true
for _ in $(seq 1 600); do
  grep -aq 'Finish !!' "$drive/Setup.txt" 2>/dev/null && break
  sleep 0.2
done
grep -a -E 'return \[|Finish !!|Uninstall Start' "$drive/Setup.txt" | tr -d '\r' | cut -c22- | sed 's/^/    /'
show
echo "  firewall rules removed:"
grep -a '^WindowsFirewallRemove' "$life/helper.log" | tr -d '\r' | sed 's/^/    /' || true
echo "  scheduled for deletion at the next restart:"
"$life/wine-run" reg query 'HKLM\System\CurrentControlSet\Control\Session Manager' /v PendingFileRenameOperations \
  2>/dev/null | tr -d '\r' | grep REG_ | sed 's/^ */    /' || echo "    (nothing)"

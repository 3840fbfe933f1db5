#!/usr/bin/env bash
# The private test network: two network namespaces joined by a veth pair.
#   PC side  (the programs under test, Wine, Xvfb): 10.77.0.1/24
#   LAN side (the device-server simulators):         10.77.0.2 .. 10.77.0.61 /24
# Usage: testnet.sh COMMAND [ARGS...]
# Runs COMMAND inside the PC namespace with QZ_LAN_NS naming the LAN namespace (run a simulator
# there with `ip netns exec "$QZ_LAN_NS" ...`). Both namespaces are removed when COMMAND ends,
# whatever the way it ends. Nothing sent inside can leave: neither namespace has another link.
set -euo pipefail
[ $# -ge 1 ] || { echo "usage: $0 COMMAND [ARGS...]" >&2; exit 2; }
id=$$
pc="qzpc$id"; lan="qzlan$id"; vp="qzp$id"; vl="qzl$id"

cleanup() {
  ip netns pids "$lan" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
  ip netns pids "$pc" 2>/dev/null | xargs -r kill -9 2>/dev/null || true
  ip netns del "$pc" 2>/dev/null || true
  ip netns del "$lan" 2>/dev/null || true
}
trap cleanup EXIT INT TERM

ip netns add "$pc"
ip netns add "$lan"
ip link add "$vp" type veth peer name "$vl"
ip link set "$vp" netns "$pc"
ip link set "$vl" netns "$lan"
ip -n "$pc" addr add 10.77.0.1/24 broadcast 10.77.0.255 dev "$vp"
for i in $(seq 2 61); do
  ip -n "$lan" addr add "10.77.0.$i/24" broadcast 10.77.0.255 dev "$vl"
done
for ns in "$pc" "$lan"; do
  ip -n "$ns" link set lo up
done
ip -n "$pc" link set "$vp" up
ip -n "$lan" link set "$vl" up
# A default route through the veth lets the limited broadcast (255.255.255.255) and any other
# address be sent; it ends at the other namespace, which forwards nothing.
ip -n "$pc" route add default dev "$vp"
ip -n "$lan" route add default dev "$vl"

set +e
ip netns exec "$pc" env QZ_PC_NS="$pc" QZ_LAN_NS="$lan" QZ_PC_ADDR=10.77.0.1 QZ_LAN_ADDR=10.77.0.2 "$@"
rc=$?
exit $rc

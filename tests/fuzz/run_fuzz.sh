#!/usr/bin/env bash
# Builds a libFuzzer target natively with ASan and UBSan and runs it for a bounded time on a
# copy of its seed corpus (the corpus in the repository is never written).
# Usage: run_fuzz.sh TARGET SECONDS      (TARGET: rwp_reply -> rwp_reply_fuzz.cpp)
# Builds into $QZ_BUILD_DIR/fuzz when set, else into a temporary folder.
set -euo pipefail
[ $# -eq 2 ] || { echo "usage: $0 TARGET SECONDS" >&2; exit 2; }
target=$1
seconds=$2
here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)

declare -A sources=(
  [rwp_reply]="$root/client/protocol/rwp_packet.cpp $root/client/protocol/rwp_stream.cpp"
  [search_reply]="$root/client/protocol/search_reply.cpp"
  [bitmap_block]="$root/setupcommon/bitmap_parse.cpp"
  [device_list]="$root/client/devices/device_list_parse.cpp $root/client/devices/device_compare.cpp $root/client/devices/usb_device_info.cpp $here/device_heap_native.cpp"
  [dib_parse]="$root/utility/dib_parse.cpp"
  [storage_list]="$root/client/storage/storage_list_parse.cpp"
  [use_request]="$root/utility/app/request/use_request_codec.cpp $root/utility/app/request/use_request_exchange.cpp"
)
[ -n "${sources[$target]:-}" ] || { echo "unknown fuzz target: $target" >&2; exit 2; }

if [ -n "${QZ_BUILD_DIR:-}" ]; then
  work="$QZ_BUILD_DIR/fuzz"
  mkdir -p "$work"
else
  work=$(mktemp -d)
  trap 'rm -rf "$work"' EXIT
fi

binary="$work/${target}_fuzz"
# The library's headers lie in its top folder and one folder per layer.
client_includes=(-I"$root/client")
for layer in "$root"/client/*/; do client_includes+=(-I"${layer%/}"); done
# The utility's program the same way.
app_includes=(-I"$root/utility/app")
for layer in "$root"/utility/app/*/; do app_includes+=(-I"${layer%/}"); done
# shellcheck disable=SC2086
clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fno-sanitize-recover=undefined \
  "${client_includes[@]}" -I"$root/utility" -I"$root/common" -I"$root/setupcommon" "${app_includes[@]}" "$here/${target}_fuzz.cpp" ${sources[$target]} -o "$binary"

corpus="$work/corpus_$target"
rm -rf "$corpus"
mkdir -p "$corpus"
cp "$here/corpus/$target"/* "$corpus/"

export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
"$binary" -max_total_time="$seconds" -timeout=10 -artifact_prefix="$work/" -rss_limit_mb=2048 -print_final_stats=1 \
  "$corpus"

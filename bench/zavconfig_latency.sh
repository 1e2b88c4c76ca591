#!/usr/bin/env bash
# zavconfig's latency against the stand-in server in front of a private Xvfb:
# "zavconfig -get Desktop" against "xprop -root" on the same display (both
# one X connection, start to exit) with hyperfine, and the time from a
# connection-query event to the mapped prompt of a running zavconfig.
# Usage: bench/zavconfig_latency.sh [build dir, default build/release]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/stand_in_server.bash
build=${1:-build/release}
work=$(mktemp -d /tmp/zavbench.XXXXXX)
server=
window=
cleanup() {
  [ -n "$window" ] && kill "$window" 2>/dev/null && wait "$window" 2>/dev/null || true
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
start_stand_in "$work"
export DISPLAY=$display HOME=$work

hyperfine -N --warmup 3 --runs ${RUNS:-100} "xprop -root" "$build/zavconfig/zavconfig -get Desktop"

"$build/zavconfig/zavconfig" >"$work/window.log" 2>&1 &
window=$!
sleep 2
python3 bench/zavconfig_latency.py "$display" "$work/control" 20

#!/usr/bin/env bash
# Repaint of a widget tree through the shared-memory image against
# x11perf -shmput500 on the same private Xvfb (24-bit screen).
# Usage: bench/tx_repaint.sh [build dir, default build/release]
set -euo pipefail
build=${1:-build/release}
work=$(mktemp -d)
exec 3> >(cat > "$work/display")
Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp -noreset 2>/dev/null &
xvfb=$!
trap 'kill $xvfb 2>/dev/null; rm -rf "$work"' EXIT
for _ in $(seq 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
export DISPLAY=:$(head -n1 "$work/display")
echo "== x11perf -shmput500 on $DISPLAY"
x11perf -repeat 3 -time 2 -shmput500 | grep -E 'trep|reps'
echo "== bench_tx_repaint on $DISPLAY"
"$build/bench/bench_tx_repaint"

#!/usr/bin/env bash
# How long zavconfig's window mode takes to end after SIGTERM, against the
# stand-in server in front of a private Xvfb: with its tray icon child
# running, and with that child stopped.
# Usage: bench/zavconfig_exit.sh [build dir, default build/release] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
work=$(mktemp -d /tmp/zavbench.XXXXXX)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
exec {ready}< <(exec python3 tests/xzav/xzav_double.py --start-xvfb \
  --control "$work/control" --log /dev/null)
server=$!
read -r -t 30 -u "$ready" word display _
[ "$word" = READY ] || { echo "the stand-in server did not start" >&2; exit 1; }
export HOME=$work
python3 bench/zavconfig_exit.py "$build/zavconfig/zavconfig" "$display" "${2:-10}"

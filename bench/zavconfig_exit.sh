#!/usr/bin/env bash
# How long zavconfig's window mode takes to end after SIGTERM, against the
# stand-in server in front of a private Xvfb: with its tray icon child
# running, and with that child stopped.
# Usage: bench/zavconfig_exit.sh [build dir, default build/release] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/stand_in_server.bash
build=${1:-build/release}
work=$(mktemp -d /tmp/zavbench.XXXXXX)
server=
cleanup() {
  [ -n "$server" ] && kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
start_stand_in "$work"
export HOME=$work
python3 bench/zavconfig_exit.py "$build/zavconfig/zavconfig" "$display" "${2:-10}"

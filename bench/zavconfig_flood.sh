#!/usr/bin/env bash
# What a hostile viewer makes a running zavconfig hold: the real program in
# window mode against the stand-in server in front of a private Xvfb, with the
# descriptor limit at 1,024, under each flood in turn (200 silent pushed shares
# of 8 files; 3 silent shares of 400,000 entries; 20,000 chat joins and lines).
# Prints, per flood, its peak descriptors, resident memory and main-loop
# stalls (time from a connection query to its prompt) and whether it lived.
# In a sanitizer build, a run that uses up every descriptor can end in a UBSan
# "invalid vptr" report on a live object (CONTRIBUTING.md, Sanitizers).
# Usage: bench/zavconfig_flood.sh [build dir, default build/release] [flood...]
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/stand_in_server.bash
build=${1:-build/release}
shift || true
floods=${*:-shares listings chat}
for kind in $floods; do
  work=$(mktemp -d /tmp/zavflood.XXXXXX)
  start_stand_in "$work"
  python3 bench/zavconfig_flood.py "$build/zavconfig/zavconfig" "$display" "$work/control" \
    "$work" "$kind" || true
  kill "$server" 2>/dev/null && wait "$server" 2>/dev/null || true
  exec {ready}<&-
  rm -rf "$work"
done

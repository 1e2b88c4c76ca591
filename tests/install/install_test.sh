#!/usr/bin/env bash
# Installs the build tree into a temporary DESTDIR and checks the three
# programs and their modes: the launcher set-user-id and, when installed by
# root, owned by root. Usage: install_test.sh <build dir>
set -euo pipefail
build=$1
stage=$(mktemp -d)
trap 'rm -rf "$stage"' EXIT

DESTDIR=$stage cmake --install "$build" --prefix /usr >"$stage.log" 2>&1 || {
  cat "$stage.log"; rm -f "$stage.log"; exit 1; }
rm -f "$stage.log"

fail=0
check() {  # <file> <expected octal mode> <expected owner uid>
  local f=$stage/usr/bin/$1
  if [ ! -f "$f" ]; then
    echo "missing: /usr/bin/$1"; fail=1; return
  fi
  local mode uid
  mode=$(stat -c %a "$f")
  uid=$(stat -c %u "$f")
  [ "$mode" = "$2" ] || { echo "/usr/bin/$1: mode $mode, expected $2"; fail=1; }
  [ "$uid" = "$3" ] || { echo "/usr/bin/$1: owner uid $uid, expected $3"; fail=1; }
  [ -x "$f" ] || { echo "/usr/bin/$1: not executable"; fail=1; }
}

me=$(id -u)
check zavconfig 755 "$me"
check zavkeygen 755 "$me"
if [ "$me" = 0 ]; then
  check x0zavserver 4755 0
else
  # Without root the file cannot be given to root; the mode still carries the bit.
  check x0zavserver 4755 "$me"
fi
# Nothing but the three programs is installed.
others=$(find "$stage" -type f ! -path "$stage/usr/bin/*" | wc -l)
[ "$others" = 0 ] || { echo "unexpected files installed:"; find "$stage" -type f; fail=1; }
exit $fail

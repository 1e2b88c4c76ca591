# Sourced by the benchmark scripts that run zavconfig against the stand-in
# server: start_stand_in <folder> starts it in front of a private Xvfb, with
# its control socket at <folder>/control, and sets `server` (its process id),
# `display` (the display it serves) and `ready` (the descriptor of its output,
# kept open while it runs).
start_stand_in() {
  exec {ready}< <(exec python3 tests/xzav/xzav_double.py --start-xvfb \
    --control "$1/control" --log /dev/null)
  server=$!
  local word rest
  read -r -t 30 -u "$ready" word display rest
  [ "$word" = READY ] || { echo "the stand-in server did not start" >&2; exit 1; }
}

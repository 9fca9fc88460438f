#!/usr/bin/env bash
# Takes the README's picture: the program on a virtual screen, fed by the
# simulated meter. Usage: tools/screenshot.sh [output.png]
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-docs/screenshot.png}
mkdir -p "$(dirname "$out")"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export QM482_PORTS_DIR=$work/ports
# The program keeps its settings beside itself: run a copy in the work folder.
cp build/qm482 "$work/qm482"
printf '[GENERAL]\r\nPORT_NR=7\r\nWINDOW_LEFT=0\r\nWINDOW_TOP=0\r\nWINDOW_RIGHT=560\r\nWINDOW_BOTTOM=440\r\nSHOW_ADV=0\r\n' \
  > "$work/qm480cfg.ini"
xvfb-run -a -s "-screen 0 560x440x24" dbus-run-session -- bash -c '
  build/qm482-sim --port 7 --serial 4660 --temp 21.4 --rh 45.6 --pressure 1013.2 --quiet &
  sim=$!
  sleep 0.5
  "$1/qm482" & app=$!
  sleep 6
  import -window root "$2"
  kill -TERM $app; wait $app || true
  kill -TERM $sim; wait $sim || true' _ "$work" "$out"
echo "$out"

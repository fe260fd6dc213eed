#!/usr/bin/env bash
# Takes the README's picture of a chart's 7-day view with a column's tooltip, on a virtual
# display with the xcb platform.
# Usage: history_shot.sh HISTORY_SHOT_PROGRAM OUTPUT.png
set -euo pipefail

if [ "${1:-}" = --on-display ]; then
  program=$2 output=$3
  work=$(mktemp -d)
  shown=
  trap '[ -n "$shown" ] && kill "$shown" 2>/dev/null; rm -rf "$work"' EXIT
  # Times in a zone of their own, as a user's would be.
  TZ=Europe/Berlin QT_QPA_PLATFORM=xcb "$program" "$work/ready" &
  shown=$!
  for _ in $(seq 300); do
    [ -e "$work/ready" ] && break
    sleep 0.1
  done
  [ -e "$work/ready" ] || { echo "the window did not get ready" >&2; exit 1; }
  import -window root -crop 680x530+0+0 +repage "$output"
  exit
fi

xvfb-run -a -s "-screen 0 800x600x24" bash "$0" --on-display "$@"

#!/usr/bin/env bash
# Takes the picture of the Hosts panel with 20 watched hosts on a virtual display.
# Usage: hosts_panel_shot.sh HOSTS_PANEL_SHOT_PROGRAM OUTPUT.png
set -euo pipefail

if [ "${1:-}" = --on-display ]; then
  program=$2 output=$3
  work=$(mktemp -d)
  "$program" "$work/ready" &
  shot=$!
  trap 'kill "$shot" 2>/dev/null || true; rm -rf "$work"' EXIT
  for _ in $(seq 150); do
    [ -e "$work/ready" ] && break
    sleep 0.2
  done
  if [ ! -e "$work/ready" ]; then
    echo "the window did not get ready" >&2
    exit 1
  fi
  import -window root -crop 1100x720+0+0 +repage "$output"
  exit
fi

# Nothing of the caller's desktop: no keyring is read, none is needed.
unset DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR
xvfb-run -a -s "-screen 0 1100x720x24" env QT_QPA_PLATFORM=xcb bash "$0" --on-display "$@"

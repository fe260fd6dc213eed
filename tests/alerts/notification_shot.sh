#!/usr/bin/env bash
# Takes the picture of an alert's notification, sent from a poll of a scripted host, as dunst
# shows it on a virtual display.
# Usage: notification_shot.sh NOTIFICATION_SHOT_PROGRAM ICON OUTPUT.png
set -euo pipefail

if [ "${1:-}" = --on-display ]; then
  shift
  program=$1 icon=$2 output=$3
  work=$(mktemp -d)
  trap 'kill "$daemon" 2>/dev/null || true; rm -rf "$work"' EXIT
  mkdir -p "$work/icons"
  cp "$icon" "$work/icons/corvane.png"
  # The system's look, with the program's icon found by its name and a readable font.
  sed -e "s|^\(\s*icon_path\s*=\).*|\1 $work/icons|" -e 's|^\(\s*font\s*=\).*|\1 Sans 10|' \
    -e 's|^\(\s*offset\s*=\).*|\1 10x10|' \
    -e 's|^\(\s*enable_recursive_icon_lookup\s*=\).*|\1 false|' /etc/xdg/dunst/dunstrc >"$work/dunstrc"
  dunst -config "$work/dunstrc" &
  daemon=$!
  # Until dunst owns the name; a notification sent earlier would start a second one.
  gdbus wait --session --timeout 10 org.freedesktop.Notifications
  "$program"
  sleep 1
  import -window root -crop 340x92+300+0 +repage "$output"
  exit
fi

unset DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR
xvfb-run -a -s "-screen 0 640x200x24" dbus-run-session -- bash "$0" --on-display "$@"

#!/usr/bin/env bash
# Runs keyring_connect_check on a virtual X display (Xvfb, the xcb platform), in one of these
# keyring situations, each in a throw-away home (through keyring_test.sh):
#   no-bus         no session bus at all
#   dead-bus       DBUS_SESSION_BUS_ADDRESS names a socket that does not exist
#   never-answers  no GLib event loop, so a keyring job never ends
#   keyring        a private gnome-keyring, unlocked, in its own session bus
# Usage: keyring_connect_test.sh SITUATION CHECK_PROGRAM [SCREENSHOT.png]
set -euo pipefail
situation=$1
program=$2
shift 2
here=$(dirname "$0")

if ! command -v xvfb-run >/dev/null || ! command -v xauth >/dev/null; then
  echo "[  SKIPPED ] xvfb-run and xauth are needed (Debian: xvfb xauth)"
  exit 0
fi

on_display=(xvfb-run -a -s "-screen 0 1024x768x24" env QT_QPA_PLATFORM=xcb)
case $situation in
  no-bus)
    bash "$here/../credentials/keyring_test.sh" no-bus "${on_display[@]}" "$program" silent "$@"
    ;;
  dead-bus)
    bash "$here/../credentials/keyring_test.sh" no-bus "${on_display[@]}" \
      DBUS_SESSION_BUS_ADDRESS="unix:path=/nonexistent/corvane-test-bus" "$program" silent "$@"
    ;;
  never-answers)
    bash "$here/../credentials/keyring_test.sh" no-bus "${on_display[@]}" QT_NO_GLIB=1 \
      "$program" silent "$@"
    ;;
  keyring)
    bash "$here/../credentials/keyring_test.sh" unlocked "${on_display[@]}" "$program" stores "$@"
    ;;
  *)
    echo "unknown situation: $situation" >&2
    exit 2
    ;;
esac

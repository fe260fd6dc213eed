#!/usr/bin/env bash
# Runs a test on a virtual display with the xcb platform, as on a desktop, in one of two
# situations:
#   session-bus  a private session bus (dbus-run-session), which starts the notification daemon
#                installed (dunst), if any, when a notification comes
#   no-bus       no session bus at all
# Usage: xvfb_test.sh SITUATION TEST [ARGS...]
set -euo pipefail

situation=$1
shift
needed=(xvfb-run)
[ "$situation" = session-bus ] && needed+=(dbus-run-session)
for tool in "${needed[@]}"; do
  if ! command -v "$tool" >/dev/null; then
    echo "[  SKIPPED ] $tool is not installed"
    exit 0
  fi
done

# Nothing of the caller's desktop: its bus, its tray, its notification service.
unset DISPLAY WAYLAND_DISPLAY DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR XDG_CURRENT_DESKTOP
export QT_QPA_PLATFORM=xcb CORVANE_TEST_SESSION=$situation
case $situation in
  session-bus) exec xvfb-run -a dbus-run-session -- "$@" ;;
  no-bus) exec xvfb-run -a "$@" ;;
  *)
    echo "unknown situation: $situation" >&2
    exit 2
    ;;
esac

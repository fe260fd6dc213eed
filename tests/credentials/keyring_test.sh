#!/usr/bin/env bash
# Runs the keyring tests against a secret service of their own: a private D-Bus session
# (dbus-run-session) with gnome-keyring in a throw-away home, so no one's own keyring is touched
# and no display is needed. The situation is one of
#   unlocked        gnome-keyring with a login keyring unlocked by a throw-away password
#   never-unlocked  gnome-keyring without any keyring, and no prompter to make one
#   no-service      a session bus that offers no secret service
#   no-bus          no session bus at all
# Usage: keyring_test.sh SITUATION TEST [ARGS...]
set -euo pipefail

if [ "${1:-}" = --in-session ]; then
  situation=$2
  shift 2
  unlock=()
  [ "$situation" = unlocked ] && unlock=(--unlock)
  printf '%s' throwaway | gnome-keyring-daemon --foreground "${unlock[@]}" --components=secrets \
    >/dev/null &
  daemon=$!
  trap 'kill "$daemon" 2>/dev/null; wait "$daemon" 2>/dev/null || true' EXIT
  # Until the daemon owns its name; asking earlier would start a second one by activation.
  for _ in $(seq 100); do
    dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
      org.freedesktop.DBus.NameHasOwner string:org.freedesktop.secrets 2>/dev/null |
      grep -q 'boolean true' && break
    sleep 0.1
  done
  status=0
  "$@" || status=$?
  exit "$status"
fi

situation=$1
shift
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Nothing of a desktop session: QtKeychain would choose KWallet under KDE, and a keyring prompt
# would open on a display.
unset DISPLAY WAYLAND_DISPLAY XDG_CURRENT_DESKTOP DESKTOP_SESSION KDE_FULL_SESSION \
  KDE_SESSION_VERSION GNOME_DESKTOP_SESSION_ID DBUS_SESSION_BUS_ADDRESS XDG_RUNTIME_DIR
export HOME=$work XDG_DATA_HOME=$work/data XDG_CACHE_HOME=$work/cache XDG_CONFIG_HOME=$work/config
mkdir -p "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_CONFIG_HOME"

needed=()
case $situation in
  unlocked | never-unlocked) needed=(dbus-run-session dbus-send gnome-keyring-daemon) ;;
  no-service) needed=(dbus-run-session) ;;
  no-bus) ;;
  *)
    echo "unknown situation: $situation" >&2
    exit 2
    ;;
esac
missing=()
for tool in "${needed[@]}"; do
  command -v "$tool" >/dev/null || missing+=("$tool")
done
if [ ${#missing[@]} -gt 0 ]; then
  # The tests skip, naming what is missing.
  CORVANE_TEST_KEYRING_MISSING="${missing[*]}" "$@"
  exit
fi

export CORVANE_TEST_KEYRING=$situation
case $situation in
  unlocked | never-unlocked)
    dbus-run-session -- bash "$0" --in-session "$situation" "$@"
    ;;
  no-service)
    cat >"$work/bus.conf" <<'EOF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:tmpdir=/tmp</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    dbus-run-session --config-file="$work/bus.conf" -- "$@"
    ;;
  no-bus)
    "$@"
    ;;
esac

#!/usr/bin/env bash
# The settings file lies beside the executable, unless that folder cannot be written: then
# it goes to the user's configuration folder, under the same name.
set -euo pipefail
probe=$1
work=$(mktemp -d)
trap 'chmod -R u+w "$work"; rm -rf "$work"' EXIT
mkdir -p "$work/writable" "$work/readonly" "$work/config"
cp "$probe" "$work/writable/corvane"
cp "$probe" "$work/readonly/corvane"
chmod 555 "$work/readonly"
chmod 777 "$work/config" "$work/writable"
chmod 755 "$work"

# Root writes anywhere, so the check runs as an unprivileged user when we are root.
as_user=()
if [ "$(id -u)" -eq 0 ]; then
  as_user=(setpriv --reuid=nobody --regid=nogroup --clear-groups)
fi
run() { env XDG_CONFIG_HOME="$work/config" HOME="$work" "${as_user[@]}" "$1"; }

beside=$(run "$work/writable/corvane")
[ "$beside" = "$work/writable/corvane.XML" ] || { echo "writable folder: got $beside"; exit 1; }
[ ! -e "$work/writable/corvane.XML" ] || { echo "the check left a file behind"; exit 1; }

moved=$(run "$work/readonly/corvane")
[ "$moved" = "$work/config/Corvane/corvane.XML" ] || { echo "read-only folder: got $moved"; exit 1; }
echo "1 passed, 0 failed"

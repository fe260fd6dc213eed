#!/usr/bin/env bash
# Installs the Debian 12 packages that building, running and testing Corvane need.
# Usage: scripts/install-deps.sh [run|test]   (run: build and run only; test: everything)
set -euo pipefail

what=${1:-test}
# dpkg-dev and file: `cpack -G DEB` finds the package's dependencies with dpkg-shlibdeps.
# libsecret-1-0: QtKeychain loads it at run time to reach the desktop keyring.
# libqt6sql6-sqlite: Qt's SQLite driver, loaded at run time, for the history store.
packages=(cmake ninja-build g++ libssl-dev qt6-base-dev libxkbcommon-dev libvulkan-dev libgl-dev
          qtkeychain-qt6-dev libsecret-1-0 snmp snmpd libqt6sql6-sqlite dpkg-dev file)
if [ "$what" = test ]; then
  # dbus, gnome-keyring: a private secret service for the keyring tests (dbus-run-session);
  # libsecret-tools: secret-tool, to look at what they stored.
  # dunst: a real notification daemon for the alert notifications on Xvfb.
  packages+=(libgtest-dev libgmock-dev libbenchmark-dev libsnmp-dev snmpsim clang
             libclang-rt-14-dev xvfb xauth imagemagick dbus gnome-keyring libsecret-tools
             prometheus dunst)
fi

missing=()
for package in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
    missing+=("$package")
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
[ "$(id -u)" -eq 0 ] || sudo=sudo
echo "Installing: ${missing[*]}"
$sudo apt-get update -qq
# The snmpd and prometheus packages would start the system's own services; Corvane's scripts
# and tests start their own when needed.
if [ ! -e /usr/sbin/policy-rc.d ]; then
  echo exit 101 | $sudo tee /usr/sbin/policy-rc.d >/dev/null
  $sudo chmod +x /usr/sbin/policy-rc.d
  trap '$sudo rm -f /usr/sbin/policy-rc.d' EXIT
fi
DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}" \
  >/dev/null

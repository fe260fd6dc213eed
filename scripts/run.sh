#!/usr/bin/env bash
# Installs what is missing, builds Corvane, makes sure an SNMP agent answers the default
# community "pewter" on 127.0.0.1, and starts Corvane.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh run
cmake -S . -B build-run -G Ninja -DCMAKE_BUILD_TYPE=Release -DCORVANE_TESTS=OFF >/dev/null
cmake --build build-run

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "Corvane needs a graphical display, and none is set (DISPLAY is empty)." >&2
  exit 1
fi

agent_dir=""
if ! scripts/local-agent.sh answers 161; then
  agent_dir=$(mktemp -d /tmp/corvane-agent.XXXXXX)
  trap 'scripts/local-agent.sh stop "$agent_dir"; rm -rf "$agent_dir"' EXIT
  scripts/local-agent.sh start 161 "$agent_dir"
  echo "Started snmpd on 127.0.0.1:161 for community \"pewter\" (this machine); it stops when Corvane exits."
fi

build-run/app/corvane

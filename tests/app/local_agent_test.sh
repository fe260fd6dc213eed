#!/usr/bin/env bash
# The run script's private agent answers community "pewter" and nothing else.
set -euo pipefail
repo=$1
port=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
dir=$(mktemp -d)
trap '"$repo/scripts/local-agent.sh" stop "$dir"; rm -rf "$dir"' EXIT

"$repo/scripts/local-agent.sh" start "$port" "$dir"
uptime=$(MIBS= snmpget -v1 -c pewter -t 1 -r 0 -Oqv "127.0.0.1:$port" 1.3.6.1.2.1.1.3.0)
[ -n "$uptime" ] || { echo "no sysUpTime from community pewter"; exit 1; }
if MIBS= snmpget -v1 -c public -t 1 -r 0 "127.0.0.1:$port" 1.3.6.1.2.1.1.3.0 >/dev/null 2>&1; then
  echo "community public was answered"
  exit 1
fi
grep -q "^rocommunity pewter 127.0.0.1$" "$dir/snmpd.conf"
echo "1 passed, 0 failed"

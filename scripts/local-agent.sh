#!/usr/bin/env bash
# A private net-snmp agent on 127.0.0.1 that answers read-only community "pewter" from
# 127.0.0.1 only, and only with what Corvane reads. It never reads or changes the system's own
# snmpd configuration.
#   scripts/local-agent.sh start PORT DIR   start it (config, log and pid in DIR); waits for it
#   scripts/local-agent.sh stop DIR         stop the agent started with DIR
#   scripts/local-agent.sh answers PORT     exit 0 when an agent answers "pewter" on PORT
set -euo pipefail

answers() {
  MIBS= snmpget -v1 -c pewter -t 1 -r 0 "127.0.0.1:$1" 1.3.6.1.2.1.1.3.0 >/dev/null 2>&1
}

case "${1:-}" in
  start)
    port=$2 dir=$3
    mkdir -p "$dir"
    # The view is what Corvane reads: system, interfaces and ifXTable, hrStorage, hrDevice and
    # hrProcessor. The rest of the host resources (hrSWRun holds every process's command
    # line) stays out of reach of other local users.
    cat >"$dir/snmpd.conf" <<CONF
view corvane included .1.3.6.1.2.1.1
view corvane included .1.3.6.1.2.1.2
view corvane included .1.3.6.1.2.1.31.1.1
view corvane included .1.3.6.1.2.1.25.2
view corvane included .1.3.6.1.2.1.25.3.2
view corvane included .1.3.6.1.2.1.25.3.3
rocommunity pewter 127.0.0.1 -V corvane
sysLocation this machine
sysContact root@localhost
CONF
    sudo=""
    [ "$(id -u)" -eq 0 ] || [ "$port" -ge 1024 ] || sudo=sudo
    # -C: no other configuration files; -Lf: log to our folder; -p: pid file.
    MIBS= $sudo snmpd -C -c "$dir/snmpd.conf" -Lf "$dir/snmpd.log" -p "$dir/snmpd.pid" \
      "udp:127.0.0.1:$port"
    for _ in $(seq 50); do
      answers "$port" && exit 0
      sleep 0.2
    done
    echo "snmpd did not answer on 127.0.0.1:$port; see $dir/snmpd.log" >&2
    exit 1
    ;;
  stop)
    dir=$2
    [ -f "$dir/snmpd.pid" ] || exit 0
    pid=$(cat "$dir/snmpd.pid")
    sudo=""
    [ -O "$dir/snmpd.pid" ] || sudo=sudo
    $sudo kill "$pid" 2>/dev/null || true
    for _ in $(seq 25); do
      kill -0 "$pid" 2>/dev/null || exit 0
      sleep 0.2
    done
    $sudo kill -9 "$pid" 2>/dev/null || true
    ;;
  answers)
    answers "$2"
    ;;
  *)
    echo "usage: $0 start PORT DIR | stop DIR | answers PORT" >&2
    exit 2
    ;;
esac

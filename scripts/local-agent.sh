#!/usr/bin/env bash
# A private net-snmp agent on 127.0.0.1 that answers read-only community "pewter" from
# 127.0.0.1 only, and only with what Corvane reads. It never reads or changes the system's own
# snmpd configuration or state.
#   scripts/local-agent.sh start PORT DIR   start it (its files in DIR, a folder of the caller's
#                                           with mode 700, made when missing); waits for it
#   scripts/local-agent.sh stop DIR         stop the agent started with DIR
#   scripts/local-agent.sh answers PORT     exit 0 when an agent answers "pewter" on PORT
set -euo pipefail

answers() {
  MIBS= snmpget -v1 -c pewter -t 1 -r 0 "127.0.0.1:$1" 1.3.6.1.2.1.1.3.0 >/dev/null 2>&1
}

# The agent's files are written and its pid file is trusted, possibly as root: DIR must be a
# real folder of the caller's that nobody else can enter, or a planted config link or pid
# would be followed.
private_dir() {
  local owner mode kind
  read -r owner mode kind < <(stat -c '%u %a %F' -- "$1")
  if [ "$kind" != directory ] || [ "$owner" != "$(id -u)" ] || [ "$mode" != 700 ]; then
    echo "Refusing $1: it must be a folder (not a link) owned by $(id -un) with mode 700;" \
      "it is a $kind owned by uid $owner with mode $mode." >&2
    exit 1
  fi
}

case "${1:-}" in
  start)
    port=$2 dir=$3
    # The config holds the community; the log names every peer.
    umask 077
    [ -L "$dir" ] || mkdir -p -- "$dir"
    private_dir "$dir"
    # The view is what Corvane reads: system, interfaces and ifXTable, hrStorage, hrDevice and
    # hrProcessor. The rest of the host resources (hrSWRun holds every process's command
    # line) stays out of reach of other local users. Nothing is set, so nothing is saved.
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
[snmp] noPersistentLoad yes
[snmp] noPersistentSave yes
CONF
    sudo=""
    [ "$(id -u)" -eq 0 ] || [ "$port" -ge 1024 ] || sudo=sudo
    # Root is only for binding the port: snmpd switches user right after. A user who is not
    # root runs it as themselves.
    drop=()
    if [ "$(id -u)" -eq 0 ] || [ -n "$sudo" ]; then
      if getent passwd Debian-snmp >/dev/null && getent group Debian-snmp >/dev/null; then
        drop=(-u Debian-snmp -g Debian-snmp)
      else
        echo "No Debian-snmp user (Debian's snmpd package makes it); snmpd runs as nobody." >&2
        drop=(-u nobody -g nogroup)
      fi
    fi
    # -C: no other configuration files; -Lf: log to our folder; -p: pid file; -I -smux: no
    # SMUX listener on TCP 199. The state folder keeps snmpd out of /var/lib/snmp. env, since
    # sudo drops the environment.
    $sudo env MIBS= SNMP_PERSISTENT_DIR="$dir/state" snmpd -C -c "$dir/snmpd.conf" \
      -Lf "$dir/snmpd.log" -p "$dir/snmpd.pid" -I -smux "${drop[@]}" "udp:127.0.0.1:$port"
    for _ in $(seq 50); do
      answers "$port" && exit 0
      sleep 0.2
    done
    echo "snmpd did not answer on 127.0.0.1:$port; see $dir/snmpd.log" >&2
    exit 1
    ;;
  stop)
    dir=$2
    [ -e "$dir" ] || [ -L "$dir" ] || exit 0
    private_dir "$dir"
    [ -f "$dir/snmpd.pid" ] || exit 0
    sudo=""
    [ -O "$dir/snmpd.pid" ] || sudo=sudo
    # The pid file is owner-only, and the agent may run as another user than the caller.
    pid=$($sudo cat "$dir/snmpd.pid")
    $sudo kill "$pid" 2>/dev/null || true
    for _ in $(seq 25); do
      $sudo kill -0 "$pid" 2>/dev/null || break
      sleep 0.2
    done
    if $sudo kill -0 "$pid" 2>/dev/null; then
      $sudo kill -9 "$pid" 2>/dev/null || true
    fi
    # Once it has switched user, snmpd can no longer remove its pid file; and it made the state
    # folder as root before handing it to that user.
    $sudo rm -rf "$dir/snmpd.pid" "$dir/state"
    ;;
  answers)
    answers "$2"
    ;;
  *)
    echo "usage: $0 start PORT DIR | stop DIR | answers PORT" >&2
    exit 2
    ;;
esac

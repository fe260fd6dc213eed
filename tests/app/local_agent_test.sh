#!/usr/bin/env bash
# The run script's private agent answers community "pewter" with what Corvane reads and
# nothing more, does not run as root, keeps its files to their owner, and works only in a
# folder of the caller's that nobody else can enter.
set -euo pipefail
repo=$1
port=$(python3 -c 'import socket; s=socket.socket(socket.AF_INET, socket.SOCK_DGRAM); s.bind(("127.0.0.1", 0)); print(s.getsockname()[1])')
dir=$(mktemp -d)
scratch=$(mktemp -d)
# Stands for a process of someone else's whose pid is planted in a pid file.
sleep 300 >/dev/null 2>&1 &
bystander=$!
trap '"$repo/scripts/local-agent.sh" stop "$dir"; rm -rf "$dir" "$scratch"; kill "$bystander"' EXIT
export MIBS=
agent=127.0.0.1:$port
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A DIR that someone else could have prepared is refused before anything in it is written,
# followed or signalled.
echo untouched >"$scratch/target"
# refused WHAT ARGS...: the script run with ARGS must fail.
refused() {
  local what=$1
  shift
  if "$repo/scripts/local-agent.sh" "$@" 2>/dev/null; then fail "$what was accepted"; fi
}
if [ "$(id -u)" -eq 0 ]; then
  mkdir -m 700 "$scratch/foreign"
  ln -s "$scratch/target" "$scratch/foreign/snmpd.conf"
  echo "$bystander" >"$scratch/foreign/snmpd.pid"
  chown -R nobody "$scratch/foreign"
  refused "a folder owned by nobody" start "$port" "$scratch/foreign"
  refused "a folder owned by nobody" stop "$scratch/foreign"
else
  echo "not root: the foreign-owner case needs chown, left out"
fi
mkdir -m 755 "$scratch/open"
refused "a folder with mode 755" start "$port" "$scratch/open"
mkdir -m 700 "$scratch/private"
ln -s "$scratch/private" "$scratch/link"
refused "a link to a folder" start "$port" "$scratch/link"
echo "$bystander" >"$scratch/private/snmpd.pid"
refused "a link to a folder" stop "$scratch/link"
[ "$(cat "$scratch/target")" = untouched ] || fail "a planted snmpd.conf link was written through"
[ -z "$(ls "$scratch/open")" ] || fail "files were written into a folder with mode 755"
[ ! -e "$scratch/private/snmpd.conf" ] || fail "files were written through a link"
kill -0 "$bystander" 2>/dev/null || fail "a planted pid was signalled"

"$repo/scripts/local-agent.sh" start "$port" "$dir"

# What Corvane shows: uptime, the interface and storage tables, the processors. (Processor
# load itself appears only after snmpd has a minute of samples, so the walk takes the ids.)
[ -n "$(snmpget -v1 -c pewter -t 1 -r 0 -Oqv "$agent" 1.3.6.1.2.1.1.3.0)" ] || fail "no sysUpTime"
for column in 1.3.6.1.2.1.2.2.1.2 1.3.6.1.2.1.2.2.1.10 1.3.6.1.2.1.25.2.3.1.3 \
  1.3.6.1.2.1.25.2.3.1.6 1.3.6.1.2.1.25.3.3.1.1; do
  [ -n "$(snmpwalk -v1 -c pewter -t 1 -r 0 "$agent" "$column")" ] || fail "empty walk of $column"
done

# Other processes' command lines (hrSWRunParameters), or anything else outside those
# subtrees, are not for any local user who knows the community.
if params=$(snmpwalk -v1 -c pewter -t 1 -r 0 "$agent" 1.3.6.1.2.1.25.4.2.1.5); then
  [ -z "$params" ] || fail "hrSWRunParameters answered $(wc -l <<<"$params") rows"
else
  fail "walk of hrSWRunParameters did not end cleanly"
fi
if all=$(snmpbulkwalk -v2c -c pewter -t 1 -r 0 -On "$agent" .1); then
  outside=$(grep -vE '^\.1\.3\.6\.1\.2\.1\.(1|2|31\.1\.1|25\.2|25\.3\.[23])\.' <<<"$all" || true)
  [ -z "$outside" ] || fail "answered outside what Corvane reads: $(head -n 3 <<<"$outside")"
else
  fail "walk of the whole tree did not end cleanly"
fi
if snmpget -v1 -c public -t 1 -r 0 "$agent" 1.3.6.1.2.1.1.3.0 >/dev/null 2>&1; then
  fail "community public was answered"
fi
grep -q "^rocommunity pewter 127.0.0.1 " "$dir/snmpd.conf" || fail "pewter not limited to 127.0.0.1"

# Root only binds the port: real, effective, saved and file-system ids all leave it.
pid=$(cat "$dir/snmpd.pid")
ids=$(awk '/^(Uid|Gid):/ { print $2, $3, $4, $5 }' "/proc/$pid/status")
if grep -qw 0 <<<"$ids"; then
  fail "snmpd keeps root ids: $(tr '\n' ' ' <<<"$ids")"
fi
loose=$(find "$dir" -maxdepth 1 -type f -perm /077)
[ -z "$loose" ] || fail "readable beyond their owner: $loose"

[ "$failures" -eq 0 ] || exit 1
echo "1 passed, 0 failed"

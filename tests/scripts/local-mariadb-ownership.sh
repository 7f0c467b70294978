#!/usr/bin/env bash
# scripts/local-mariadb of a second checkout (a build tree of its own) next to the running test
# server: it never takes that server for its own. Pointed at the server's port it says who holds
# it (status and stop agree that it is not running, start refuses and changes nothing); left to
# itself it picks a free port when it starts, records it, and status and stop agree about it.
# Usage: local-mariadb-ownership.sh SOURCE_DIR BUILD_DIR (VELMORA_MARIADB_PORT: the running test
# server, which is BUILD_DIR's).
set -uo pipefail
script="$1/scripts/local-mariadb"
held_port=${VELMORA_MARIADB_PORT:?the port of the running test server}
other=$(mktemp -d)
# Whatever happens, a server this test started goes, by its own script.
trap 'env -u VELMORA_MARIADB_PORT VELMORA_BUILD_DIR="$other" "$script" stop >/dev/null 2>&1; rm -rf "$other"' EXIT
failures=0
check() {  # check DESCRIPTION EXPECTED_STATUS ACTUAL_STATUS OUTPUT PATTERN
  if [ "$2" != "$3" ] || ! grep -qE -- "$5" <<<"$4"; then
    echo "FAILED: $1 (exit $3, expected $2; output: $4)"
    failures=$((failures + 1))
  fi
}

export VELMORA_BUILD_DIR=$other
out=$("$script" status 2>&1); rc=$?
check "status on a port another checkout holds" 1 "$rc" "$out" \
  "not running \(127\.0\.0\.1:$held_port is held by the MariaDB server of another checkout \(data folder /"
out=$("$script" stop 2>&1); rc=$?
check "stop agrees with status and leaves that server alone" 0 "$rc" "$out" "not running .*left alone"
out=$("$script" start 2>&1); rc=$?
check "start refuses the other checkout's server" 1 "$rc" "$out" \
  "held by the MariaDB server of another checkout .*it is not used"
[ -d "$other/mariadb/data" ] && { echo "FAILED: start made a data folder"; failures=$((failures + 1)); }
out=$(VELMORA_BUILD_DIR="$2" "$1/scripts/local-mariadb" status 2>&1); rc=$?
check "the test server still runs" 0 "$rc" "$out" "running on 127\.0\.0\.1:$held_port"

# Left to itself: no port until it starts; then the first free port from 33077 upward, recorded
# in the build tree, and status and stop agree about the server on it.
alone() { env -u VELMORA_MARIADB_PORT "$script" "$@" 2>&1; }
out=$(alone status); rc=$?
check "status before any start" 1 "$rc" "$out" "^local-mariadb: not running$"
out=$(alone env); rc=$?
check "env before any start" 1 "$rc" "$out" "has no port yet: run .* start first"
[ ! -e "$other/mariadb/port" ] || { echo "FAILED: a port was recorded without a start"; failures=$((failures + 1)); }
out=$(alone start); rc=$?
port=$(cat "$other/mariadb/port" 2>/dev/null)
check "start picks a port" 0 "$rc" "$out" "running on 127\.0\.0\.1:$port "
[ -n "$port" ] && [ "$port" != "$held_port" ] && [ "$port" -ge 33077 ] ||
  { echo "FAILED: chose '$port' (held: $held_port)"; failures=$((failures + 1)); }
out=$(alone status); rc=$?
check "status of the started server" 0 "$rc" "$out" "running on 127\.0\.0\.1:$port \(data $other/mariadb/data\)"
out=$(alone env); rc=$?
check "env names the recorded port" 0 "$rc" "$out" "VELMORA_MARIADB_PORT=$port"
out=$(alone stop); rc=$?
check "stop stops it" 0 "$rc" "$out" "stopped \(pid [0-9]+\)"
out=$(alone status); rc=$?
check "status after stop" 1 "$rc" "$out" "^local-mariadb: not running$"
out=$(alone stop); rc=$?
check "stop after stop agrees" 0 "$rc" "$out" "^local-mariadb: not running$"
[ "$failures" = 0 ] && echo "local-mariadb ownership: all checks passed"
exit "$failures"

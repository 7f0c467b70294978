#!/usr/bin/env bash
# What a newcomer's first commands print: a step of scripts/run and scripts/test is one line, its
# tool's output kept in a log that a failure names; `scripts/local-mariadb env --cli` prints the
# options velmora-cli takes, and they parse.
# Usage: first-hour.sh SOURCE_DIR BUILD_DIR
set -uo pipefail
source_dir=$1
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
failures=0
check() {  # check DESCRIPTION OUTPUT PATTERN
  if ! grep -qE -- "$3" <<<"$2"; then
    echo "FAILED: $1 (output: $2)"
    failures=$((failures + 1))
  fi
}

VELMORA_LOG_DIR=$scratch/logs
source "$source_dir/scripts/common.sh"
noisy() { for i in $(seq 1 400); do echo "Unpacking package-$i ..."; done; }
out=$(step noisy "setup: installing" noisy 2>&1)
check "a step that succeeds prints one line" "$out" '^setup: installing \.\.\. done \([0-9]+ s\)$'
[ "$(wc -l <<<"$out")" = 1 ] || check "only one line" "$out" '^$NEVER'
check "its output is in its log" "$(cat "$scratch/logs/noisy.log")" '^Unpacking package-400 \.\.\.$'

failing() { echo "E: Unable to locate package nosuch"; return 100; }
out=$(step failing "setup: installing nosuch" failing 2>&1); rc=$?
[ "$rc" = 100 ] || check "a failed step keeps its exit status ($rc)" "" '^$NEVER'
check "a failed step says so" "$out" '^setup: installing nosuch \.\.\. FAILED \(exit 100\)$'
check "and shows the tool's last words" "$out" '^E: Unable to locate package nosuch$'
check "and names its log" "$out" "whole output of the step: $scratch/logs/failing.log"

out=$(VELMORA_BUILD_DIR=$scratch VELMORA_MARIADB_PORT=33999 "$source_dir/scripts/local-mariadb" env --cli 2>/dev/null)
check "env --cli prints the source options" "$out" \
  '^--source 127\.0\.0\.1:33999 --source-user velmora --source-password-env VELMORA_MARIADB_PASSWORD$'

[ "$failures" = 0 ] && echo "first hour: all checks passed"
exit $((failures > 0))

#!/usr/bin/env bash
# Many writers on one journal database at once, as at the start of a shift:
#   1. P recording processes, each running "logonjournal /set logon" N times: P x N rows;
#   2. P processes alternating "/set logon" and "/set logoff" of one user on one computer,
#      N events each: P x N / 2 rows, every one of them stamped;
#   3. the database shell: two shells inserting and two updating S statements each, every
#      statement a transaction of its own: none of them gives up.
# Reports runs per second, the longest single run and every failure (with its message), with
# the stock sqlite3 shell inserting the same rows from as many processes as the baseline; ends
# with status 1 if any count is short or any run failed.
# Usage: bench/journal-stress.sh [BUILD_DIR] [P] [N] [S]     (defaults: build, 16, 100, 1000)
# Run it under the build lock: flock /tmp/lumo-build.lock bench/journal-stress.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
processes=${2:-16}
events=${3:-100}
statements=${4:-1000}
work=$(mktemp -d /tmp/lumo-journal-stress-XXXXXX)
trap 'rm -rf "$work"' EXIT

jetsh=$build/tools/jetsh
journal=$build/app/logonjournal
for program in "$jetsh" "$journal"; do
  [ -x "$program" ] || { echo "missing $program: build first (scripts/build $build)" >&2; exit 1; }
done
command -v sqlite3 >/dev/null || { echo "the stock sqlite3 shell is missing: scripts/deps" >&2; exit 1; }
cp "$journal" "$work/logonjournal"
printf '[db]\nmain=%s\n' "$work/logon.mdb" > "$work/logonjournal.ini"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen
failed=0

fresh_database() {
  rm -f "$work"/logon.mdb*
  "$jetsh" --create "$work/logon.mdb" < app/schema/logon.sql
}

# The baseline: the stock shell inserting the same row as a process of its own each time,
# waiting for locks up to 10 s.
shell_writer() {
  local n=$1 count=$2
  for i in $(seq "$count"); do
    local start end
    start=$(date +%s%N)
    if ! sqlite3 -cmd ".timeout 10000" "$work/logon.mdb" "INSERT INTO Logon (Username, Computer, logontime, IP, Betriebssystem, Typ) VALUES ('shell$n', 'PC', strftime('%Y-%m-%d %H:%M:%S.000', 'now', 'localtime'), '10.0.0.1', 'Debian GNU/Linux 12 (bookworm)', 'logon');" > "$work/out.$n" 2>&1; then
      { echo "run $i:"; cat "$work/out.$n"; } >> "$work/failures.$n"
    fi
    end=$(date +%s%N)
    echo $(( (end - start) / 1000 )) >> "$work/times.$n"
  done
}

# One writer: `kinds` is a list of kinds to record in turn. Each run's time in microseconds
# goes to times.<n>, each failure's message to failures.<n>.
writer() {
  local n=$1; shift
  local i=0
  for kind in "$@"; do
    local start end
    start=$(date +%s%N)
    if ! "$work/logonjournal" /set "$kind" > "$work/out.$n" 2>&1; then
      { echo "run $i ($kind):"; cat "$work/out.$n"; } >> "$work/failures.$n"
    fi
    end=$(date +%s%N)
    echo $(( (end - start) / 1000 )) >> "$work/times.$n"
    i=$((i + 1))
  done
}

# Runs `processes` writers at once (the function and its arguments given); prints the figures.
run_writers() {
  local label=$1; shift
  rm -f "$work"/times.* "$work"/failures.*
  local start end
  start=$(date +%s%N)
  local function=$1; shift
  for n in $(seq "$processes"); do "$function" "$n" "$@" & done
  wait
  end=$(date +%s%N)
  local runs failures longest
  runs=$(cat "$work"/times.* | wc -l)
  failures=$(cat "$work"/failures.* 2>/dev/null | grep -c '^run ' || true)
  longest=$(sort -n "$work"/times.* | tail -1)
  awk -v l="$label" -v r="$runs" -v f="$failures" -v t=$(( (end - start) / 1000 )) -v m="$longest" 'BEGIN {
    printf "%s: %d runs in %.2f s, %.1f runs/s, longest run %.2f s, %d failed\n", l, r, t / 1e6, r / (t / 1e6), m / 1e6, f }'
  if [ "$failures" -ne 0 ]; then
    cat "$work"/failures.* | head -20
    failed=1
  fi
}

expect() {
  local what=$1 got=$2 want=$3
  if [ "$got" = "$want" ]; then
    echo "  $what: $got"
  else
    echo "  $what: $got, expected $want"
    failed=1
  fi
}

echo "$processes processes x $events logons"
fresh_database
run_writers "baseline, sqlite3 shell INSERT" shell_writer "$events"
expect "rows" "$(sqlite3 "$work/logon.mdb" 'SELECT count(*) FROM Logon')" $((processes * events))
fresh_database
kinds=()
for _ in $(seq "$events"); do kinds+=(logon); done
run_writers "logonjournal /set logon" writer "${kinds[@]}"
expect "rows" "$(sqlite3 "$work/logon.mdb" 'SELECT count(*) FROM Logon')" $((processes * events))

echo
echo "$processes processes x $events events, logon and logoff in turn, one user on one computer"
fresh_database
kinds=()
for _ in $(seq $((events / 2))); do kinds+=(logon logoff); done
run_writers "logonjournal /set logon, /set logoff" writer "${kinds[@]}"
expect "rows" "$(sqlite3 "$work/logon.mdb" 'SELECT count(*) FROM Logon')" $((processes * events / 2))
expect "stamped" "$(sqlite3 "$work/logon.mdb" 'SELECT count(logofftime) FROM Logon')" $((processes * events / 2))
expect "stamped before their logon" "$(sqlite3 "$work/logon.mdb" 'SELECT count(*) FROM Logon WHERE logofftime < logontime')" 0

echo
echo "database shell: two shells inserting, two updating, $statements statements each"
fresh_database
for s in $(seq "$statements"); do
  echo "INSERT INTO Logon (Username, Computer, logontime, Typ) VALUES ('seed', 'PC', #1/1/2026 0:0:0#, 'seed');"
done | "$jetsh" "$work/logon.mdb" > /dev/null
for shell in 1 2; do
  for s in $(seq "$statements"); do
    echo "INSERT INTO Logon (Username, Computer, logontime, Typ) VALUES ('insert$shell', 'PC', Now(), 'logon');"
  done > "$work/insert.$shell.sql"
  for s in $(seq "$statements"); do
    echo "UPDATE Logon SET Typ = 'upd$shell', logofftime = Now() WHERE ID = $s;"
  done > "$work/update.$shell.sql"
done
start=$(date +%s%N)
pids=()
for file in insert.1 insert.2 update.1 update.2; do
  "$jetsh" -f "$work/$file.sql" "$work/logon.mdb" > "$work/$file.out" 2>&1 &
  pids+=($!)
done
gave_up=0
for i in "${!pids[@]}"; do
  wait "${pids[$i]}" || { gave_up=$((gave_up + 1)); tail -3 "$work/$(echo insert.1 insert.2 update.1 update.2 | cut -d' ' -f$((i + 1))).out"; }
done
end=$(date +%s%N)
awk -v n=$((4 * statements)) -v t=$(( (end - start) / 1000 )) 'BEGIN { printf "  %d statements in %.2f s, %.1f statements/s\n", n, t / 1e6, n / (t / 1e6) }'
expect "shells that gave up" "$gave_up" 0
expect "inserted rows" "$(sqlite3 "$work/logon.mdb" "SELECT count(*) FROM Logon WHERE Username LIKE 'insert%'")" $((2 * statements))
expect "updated rows" "$(sqlite3 "$work/logon.mdb" "SELECT count(*) FROM Logon WHERE Typ LIKE 'upd%'")" "$statements"

exit $failed

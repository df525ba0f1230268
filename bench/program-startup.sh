#!/usr/bin/env bash
# Start-up of a recording run for differently built copies of the journal program: each copy
# records "/set logon" into a journal of 1,000 rows of its own, round after round, and the
# medians are compared (so that load from elsewhere falls on every copy alike). The stock
# sqlite3 shell inserting the same row runs in the same rounds as the baseline.
# Usage: bench/program-startup.sh RUNS LABEL=PROGRAM [LABEL=PROGRAM ...]
#   PROGRAM is an installed logonjournal (its module beside it is not needed for recording).
set -euo pipefail
cd "$(dirname "$0")/.."
runs=$1; shift
jetsh=${JETSH:-build/tools/jetsh}
work=$(mktemp -d /tmp/lumo-startup-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

make_journal() {
  "$jetsh" --create "$1" < app/schema/logon.sql
  sqlite3 "$1" <<SQL
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000)
INSERT INTO Logon (Username, Computer, logontime, IP, Betriebssystem, Typ)
SELECT 'user' || (i % 500), 'PC' || (i % 300),
       strftime('%Y-%m-%d %H:%M:%S.000', 'now', 'localtime', 'start of day', '+' || (i % 600) || ' seconds'),
       '10.0.0.' || (i % 200), 'Debian GNU/Linux 12 (bookworm) 6.1.0', 'logon'
FROM n;
SQL
}

labels=(); programs=()
for pair in "$@"; do
  label=${pair%%=*}; program=${pair#*=}
  mkdir -p "$work/$label"
  cp "$program" "$work/$label/logonjournal"
  make_journal "$work/$label/journal.mdb"
  printf '[db]\nmain=%s\n' "$work/$label/journal.mdb" > "$work/$label/logonjournal.ini"
  labels+=("$label"); programs+=("$work/$label/logonjournal")
  printf '  %-16s %10d bytes, needs: %s\n' "$label" "$(stat -c %s "$program")" \
    "$(readelf -d "$program" | sed -n 's/.*Shared library: \[\(.*\)\]/\1/p' | tr '\n' ' ')"
done
make_journal "$work/shell.mdb"
insert="INSERT INTO Logon (Username, Computer, logontime, IP, Betriebssystem, Typ) VALUES ('u', 'PC', strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime'), '10.0.0.1', 'Debian GNU/Linux 12 (bookworm) 6.1.0', 'logon');"

unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen
declare -a times
count=${#programs[@]}
for _ in $(seq "$runs"); do
  for i in $(seq 0 "$count"); do
    start=$(date +%s%N)
    if [ "$i" -lt "$count" ]; then
      "${programs[$i]}" /set logon >/dev/null 2>&1
    else
      sqlite3 "$work/shell.mdb" "$insert" >/dev/null 2>&1
    fi
    end=$(date +%s%N)
    times[$i]="${times[$i]:-} $(( (end - start) / 1000 ))"
  done
done
labels+=("sqlite3 shell")
for i in $(seq 0 "$count"); do
  sorted=$(printf '%s\n' ${times[$i]} | sort -n)
  best=$(echo "$sorted" | head -1)
  median=$(echo "$sorted" | sed -n "$(( (runs + 1) / 2 ))p")
  awk -v l="${labels[$i]}" -v b="$best" -v m="$median" \
    'BEGIN { printf "  %-16s best %7.2f ms   median %7.2f ms\n", l, b / 1000, m / 1000 }'
done

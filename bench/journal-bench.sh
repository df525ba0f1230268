#!/usr/bin/env bash
# The journal's speed goals, measured side by side in one run against the stock sqlite3 shell:
#   - one recording run "/set logon" end to end vs the shell inserting the same row;
#   - one "/set logoff" vs the shell running the same stamping UPDATE;
#   - the overview opened (until its first picture is saved) over 1,000,000 rows with 1,000 of
#     them from today vs over a database that holds only those 1,000.
# Usage: bench/journal-bench.sh [BUILD_DIR] [RUNS]     (defaults: build, 20)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-20}
work=$(mktemp -d /tmp/lumo-journal-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

jetsh=$build/tools/jetsh
journal=$build/app/logonjournal
for program in "$jetsh" "$journal"; do
  [ -x "$program" ] || { echo "missing $program: build first (scripts/build $build)" >&2; exit 1; }
done

# Fills a database made from the shipped schema with `old` rows spread over the last three
# years and `today` rows from the last hours of today.
make_database() {
  local path=$1 old=$2 today=$3
  "$jetsh" --create "$path" < app/schema/logon.sql
  sqlite3 "$path" <<SQL
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $old)
INSERT INTO Logon (Username, Computer, logontime, logofftime, IP, Betriebssystem, Typ)
SELECT 'user' || (i % 500), 'PC' || (i % 300),
       strftime('%Y-%m-%d %H:%M:%S.000', 'now', 'localtime', 'start of day', '-' || (1 + i % 1000) || ' days', '+' || (i % 80000) || ' seconds'),
       strftime('%Y-%m-%d %H:%M:%S.000', 'now', 'localtime', 'start of day', '-' || (1 + i % 1000) || ' days', '+' || (i % 80000 + 3600) || ' seconds'),
       '10.0.' || (i % 250) || '.' || (i % 200), 'Debian GNU/Linux 12 (bookworm) 6.1.0', 'logon'
FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $today)
INSERT INTO Logon (Username, Computer, logontime, IP, Betriebssystem, Typ)
SELECT 'user' || (i % 500), 'PC' || (i % 300),
       strftime('%Y-%m-%d %H:%M:%S.000', 'now', 'localtime', 'start of day', '+' || (i % 600) || ' seconds'),
       '10.0.0.' || (i % 200), 'Debian GNU/Linux 12 (bookworm) 6.1.0', 'logon'
FROM n;
SQL
}

# Milliseconds of one command, best of $runs (the figure least disturbed by other load), and
# the median.
time_runs() {
  local label=$1; shift
  local times=()
  for _ in $(seq "$runs"); do
    local start end
    start=$(date +%s%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s%N)
    times+=($(( (end - start) / 1000 )))
  done
  local sorted
  sorted=$(printf '%s\n' "${times[@]}" | sort -n)
  local best median
  best=$(echo "$sorted" | head -1)
  median=$(echo "$sorted" | sed -n "$(( (runs + 1) / 2 ))p")
  awk -v l="$label" -v b="$best" -v m="$median" 'BEGIN { printf "%-40s best %8.2f ms   median %8.2f ms\n", l, b / 1000, m / 1000 }'
  echo "$median" > "$work/last"
}

echo "making the databases (1,000,000 + 1,000 rows, and 1,000 rows)..."
make_database "$work/big.mdb" 1000000 1000
make_database "$work/small.mdb" 0 1000
cp "$journal" "$work/logonjournal"

user=$(id -un)
computer=$(hostname | cut -d. -f1 | tr a-z A-Z | cut -c1-15)
insert="INSERT INTO Logon (Username, Computer, logontime, IP, Betriebssystem, Typ) VALUES ('$user', '$computer', strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime'), '10.0.0.1', 'Debian GNU/Linux 12 (bookworm) 6.1.0', 'logon');"
stamp="UPDATE Logon SET logofftime = strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime') WHERE ID = (SELECT ID FROM Logon WHERE Username = '$user' AND Computer = '$computer' AND logofftime IS NULL ORDER BY logontime DESC LIMIT 1);"

echo "[db]" > "$work/logonjournal.ini"
echo "main=$work/big.mdb" >> "$work/logonjournal.ini"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen

echo
echo "recording on 1,000,000 rows ($runs runs each, medians compared)"
time_runs "sqlite3 shell: INSERT" sqlite3 "$work/big.mdb" "$insert"; shell_insert=$(cat "$work/last")
time_runs "logonjournal /set logon" "$work/logonjournal" /set logon; journal_logon=$(cat "$work/last")
time_runs "sqlite3 shell: stamping UPDATE" sqlite3 "$work/big.mdb" "$stamp"; shell_stamp=$(cat "$work/last")
# Each logoff needs an open row: the logon runs above left $runs of them.
time_runs "logonjournal /set logoff" "$work/logonjournal" /set logoff; journal_logoff=$(cat "$work/last")
ratio() { awk -v a="$1" -v b="$2" -v l="$3" 'BEGIN { printf "%s %.2f\n", l, a / b }'; }
ratio "$journal_logon" "$shell_insert" "ratio logon (goal <= 3):"
ratio "$journal_logoff" "$shell_stamp" "ratio logoff (goal <= 3):"

echo
echo "overview until its first picture ($runs runs each, medians compared)"
export LUMO_SCREENSHOT="$work/shot.png"
time_runs "overview over 1,000,000 + 1,000 rows" "$work/logonjournal"; overview_big=$(cat "$work/last")
echo "main=$work/small.mdb" > "$work/logonjournal.ini.tmp"
{ echo "[db]"; cat "$work/logonjournal.ini.tmp"; } > "$work/logonjournal.ini"
time_runs "overview over 1,000 rows" "$work/logonjournal"; overview_small=$(cat "$work/last")
ratio "$overview_big" "$overview_small" "ratio overview (goal <= 2):"

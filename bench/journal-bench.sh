#!/usr/bin/env bash
# The journal's speed goals, measured side by side in one run against the stock sqlite3 shell,
# on journals of 1,000, 1,000,000 + 1,000 and 10,000,000 + 1,000 rows (1,000 rows from today):
#   - one recording run "/set logon" end to end vs the shell inserting the same row, on each
#     size, and the large journals against the small one (recording must not grow with the
#     journal);
#   - one "/set logoff" vs the shell running the same stamping UPDATE;
#   - the overview opened (until its first picture is saved) over each size vs over 1,000 rows.
# The journal runs as it is installed (cmake --install into a temporary prefix). The commands
# of one comparison run in turn, round after round, and their medians are
# compared, so that load from elsewhere falls on all of them alike.
# Usage: bench/journal-bench.sh [BUILD_DIR] [RUNS] [SIZES] [PARTS]
#   defaults: build, 20, "0 1000000 10000000" (rows before today's 1,000),
#   "logon logoff overview" (the comparisons to run)
# JOURNAL_BENCH_KEEP=DIR keeps the journals it makes in DIR and, on later runs, starts from
# copies of those instead of making them again (the 10,000,000-row one takes minutes); delete
# DIR when the journal's schema or the rows of "today" should be made afresh.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-20}
sizes=${3:-"0 1000000 10000000"}
parts=${4:-"logon logoff overview"}
wanted() { [[ " $parts " == *" $1 "* ]]; }
work=$(mktemp -d /tmp/lumo-journal-bench-XXXXXX)
trap 'rm -rf "$work"' EXIT

jetsh=$build/tools/jetsh
journal=$build/app/logonjournal
for program in "$jetsh" "$journal"; do
  [ -x "$program" ] || { echo "missing $program: build first (scripts/build $build)" >&2; exit 1; }
done

# Fills a database made from the shipped schema with `old` rows spread over the last three
# years and 1,000 rows from the first minutes of today. The indexes are made after the rows
# (one sort each instead of ten million look-ups) from the shipped schema's own definitions,
# and the row count is counted once at the end rather than moved row by row.
make_database() {
  local path=$1 old=$2
  "$jetsh" --create "$path" < app/schema/logon.sql
  sqlite3 "$path" 'DROP TRIGGER "Logon.rowcount.insert"; DROP TRIGGER "Logon.rowcount.delete"'
  local indexes
  indexes=$(sqlite3 "$path" "SELECT sql || ';' FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Logon' AND sql IS NOT NULL")
  sqlite3 "$path" "SELECT 'DROP INDEX \"' || name || '\";' FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Logon' AND sql IS NOT NULL" |
    sqlite3 "$path"
  sqlite3 "$path" <<SQL
PRAGMA synchronous = OFF;
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $old)
INSERT INTO Logon (Username, Computer, logontime, logofftime, IP, Betriebssystem, Typ)
SELECT 'user' || (i % 500), 'PC' || (i % 300),
       strftime('%Y-%m-%d %H:%M:%S.000', 'now', 'localtime', 'start of day', '-' || (1 + i % 1000) || ' days', '+' || (i % 80000) || ' seconds'),
       strftime('%Y-%m-%d %H:%M:%S.000', 'now', 'localtime', 'start of day', '-' || (1 + i % 1000) || ' days', '+' || (i % 80000 + 3600) || ' seconds'),
       '10.0.' || (i % 250) || '.' || (i % 200), 'Debian GNU/Linux 12 (bookworm) 6.1.0', 'logon'
FROM n;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 1000)
INSERT INTO Logon (Username, Computer, logontime, IP, Betriebssystem, Typ)
SELECT 'user' || (i % 500), 'PC' || (i % 300),
       strftime('%Y-%m-%d %H:%M:%S.000', 'now', 'localtime', 'start of day', '+' || (i % 600) || ' seconds'),
       '10.0.0.' || (i % 200), 'Debian GNU/Linux 12 (bookworm) 6.1.0', 'logon'
FROM n;
$indexes
COMMIT;
SQL
  "$jetsh" --count-rows Logon "$path" >/dev/null
}

# One round after the other, each command of the comparison once per round; prints best and
# median of each and leaves the medians (microseconds) in $medians, in the order given.
# Arguments: label1 command1 label2 command2 ... where a command is one string run by eval.
compare() {
  local count=$(( $# / 2 ))
  local -a labels commands times
  local i=0
  while [ $# -gt 0 ]; do labels[$i]=$1; commands[$i]=$2; shift 2; i=$((i + 1)); done
  for _ in $(seq "$runs"); do
    for i in $(seq 0 $((count - 1))); do
      local start end
      start=$(date +%s%N)
      eval "${commands[$i]}" >/dev/null 2>&1
      end=$(date +%s%N)
      times[$i]="${times[$i]:-} $(( (end - start) / 1000 ))"
    done
  done
  medians=()
  for i in $(seq 0 $((count - 1))); do
    local sorted best median
    sorted=$(printf '%s\n' ${times[$i]} | sort -n)
    best=$(echo "$sorted" | head -1)
    median=$(echo "$sorted" | sed -n "$(( (runs + 1) / 2 ))p")
    awk -v l="${labels[$i]}" -v b="$best" -v m="$median" 'BEGIN { printf "  %-46s best %8.2f ms   median %8.2f ms\n", l, b / 1000, m / 1000 }'
    medians+=("$median")
  done
}
ratio() { awk -v a="$1" -v b="$2" -v l="$3" 'BEGIN { printf "  %-58s %6.2f\n", l, a / b }'; }
# The journal's INI file beside its copy names the database.
use() { printf '[db]\nmain=%s\n' "$1" > "$work/logonjournal.ini"; }

# The program as it is installed (debug information split off), with its module beside it.
cmake --install "$build" --prefix "$work/installed" >/dev/null
installed=$(find "$work/installed" -type f -name logonjournal -perm -u+x | head -1)
cp "$installed" "$(dirname "$installed")/libguiqt.so" "$work/"
echo "logonjournal: $(stat -c %s "$journal") bytes as built, $(stat -c %s "$installed") bytes installed"

keep=${JOURNAL_BENCH_KEEP:-}
if [ -n "$keep" ]; then mkdir -p "$keep"; fi
for size in $sizes; do
  if [ -n "$keep" ] && [ -f "$keep/j$size.mdb" ]; then
    echo "copying the journal of $size + 1,000 rows from $keep (made $(date -r "$keep/j$size.mdb" '+%F %R'))..."
    cp "$keep/j$size.mdb" "$work/j$size.mdb"
    continue
  fi
  echo "making the journal of $size + 1,000 rows..."
  make_database "$work/j$size.mdb" "$size"
  if [ -n "$keep" ]; then cp "$work/j$size.mdb" "$keep/j$size.mdb"; fi
done
small=$(echo $sizes | awk '{ print $1 }')

user=$(id -un)
computer=$(hostname | cut -d. -f1 | tr a-z A-Z | cut -c1-15)
insert="INSERT INTO Logon (Username, Computer, logontime, IP, Betriebssystem, Typ) VALUES ('$user', '$computer', strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime'), '10.0.0.1', 'Debian GNU/Linux 12 (bookworm) 6.1.0', 'logon');"
stamp="UPDATE Logon SET logofftime = strftime('%Y-%m-%d %H:%M:%f', 'now', 'localtime') WHERE ID = (SELECT ID FROM Logon WHERE Username = '$user' AND Computer = '$computer' AND logofftime IS NULL ORDER BY logontime DESC LIMIT 1);"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen
declare -A logon shell_insert

if wanted logon; then
echo
echo "recording a logon ($runs rounds, medians compared)"
for size in $sizes; do
  db=$work/j$size.mdb
  compare "sqlite3 shell: INSERT, $size + 1,000 rows" "sqlite3 '$db' \"\$insert\"" \
          "logonjournal /set logon, $size + 1,000 rows" "use '$db'; '$work/logonjournal' /set logon"
  shell_insert[$size]=${medians[0]}; logon[$size]=${medians[1]}
done
for size in $sizes; do
  ratio "${logon[$size]}" "${shell_insert[$size]}" "logon vs shell INSERT, $size + 1,000 rows:"
done
for size in $sizes; do
  [ "$size" = "$small" ] && continue
  ratio "${logon[$size]}" "${logon[$small]}" "logon on $size + 1,000 rows vs on $small + 1,000:"
done
fi

if wanted logoff; then
echo
echo "stamping a logoff ($runs rounds, medians compared; the logons above left open rows)"
for size in $sizes; do
  db=$work/j$size.mdb
  compare "sqlite3 shell: stamping UPDATE, $size + 1,000" "sqlite3 '$db' \"\$stamp\"" \
          "logonjournal /set logoff, $size + 1,000 rows" "use '$db'; '$work/logonjournal' /set logoff"
  ratio "${medians[1]}" "${medians[0]}" "logoff vs shell UPDATE, $size + 1,000 rows:"
done
fi

wanted overview || exit 0
echo
echo "overview until its first picture ($runs rounds, medians compared)"
export LUMO_SCREENSHOT="$work/shot.png"
args=()
for size in $sizes; do
  args+=("overview over $size + 1,000 rows" "use '$work/j$size.mdb'; '$work/logonjournal'")
done
compare "${args[@]}"
i=0
for size in $sizes; do
  [ $i -gt 0 ] && ratio "${medians[$i]}" "${medians[0]}" "overview over $size + 1,000 rows vs $small + 1,000:"
  i=$((i + 1))
done

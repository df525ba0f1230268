#!/usr/bin/env bash
# The journal on a PostgreSQL server, measured in one run against its baselines:
#   logon    one recording run "/set logon" end to end vs psql inserting the same row with the
#            same login (both log in as the calling account, scram-sha-256 over the socket),
#            on a journal of ROWS + 1,000 rows (1,000 from today);
#   logoff   one "/set logoff" vs psql running the same stamping UPDATE;
#   stress   WRITERS recording processes at once for SECONDS, each running "/set logon" again
#            and again: on the server, then on a database file of the same rows; rows counted
#            afterwards must equal the successful runs, and the server's rows/s are set against
#            the file's.
# The cluster is the project's throwaway one (scripts/pg-cluster run: started for this run,
# stopped and removed on every way out); the journal's schema, roles and row-level security
# are the shipped app/schema/logon-postgresql.sql, the recorded account a member of
# logonjournal_recorders whose password lies in a password file of the run's own, as a
# workstation's user keeps it in ~/.pgpass. The journal runs as it is installed (cmake
# --install into a temporary prefix). The commands of one comparison run in turn, round
# after round, and their medians are compared, so that load from elsewhere falls on both.
# Usage: bench/journal-server-bench.sh [BUILD_DIR] [RUNS] [ROWS] [PARTS] [WRITERS] [SECONDS]
#   defaults: build, 20, 1000000, "logon logoff stress", 16, 30
# Run it under the build queue, so that no build shares the machine with it:
#   /work/bin/buildlock bench/journal-server-bench.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
runs=${2:-20}
rows=${3:-1000000}
parts=${4:-"logon logoff stress"}
writers=${5:-16}
seconds=${6:-30}
wanted() { [[ " $parts " == *" $1 "* ]]; }

jetsh=$build/tools/jetsh
journal=$build/app/logonjournal
for program in "$jetsh" "$journal"; do
  [ -x "$program" ] || { echo "missing $program: build first (scripts/build $build)" >&2; exit 1; }
done
# psql itself, not the distribution's wrapper script in /usr/bin, whose own start (an
# interpreter choosing the version) would make the baseline slower than the client is.
pg_bin=${LUMO_PG_BIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)}
psql=$pg_bin/psql
[ -x "$psql" ] || { echo "psql is missing: scripts/deps" >&2; exit 1; }

# The cluster first: this script runs again inside it, with its environment.
if [ -z "${LUMO_BENCH_CLUSTER:-}" ]; then
  cluster=$(mktemp -d /tmp/lumo-server-bench-XXXXXX)
  rmdir "$cluster"
  exec scripts/pg-cluster run "$cluster" -- env LUMO_BENCH_CLUSTER="$cluster" "$0" "$build" "$runs" "$rows" "$parts" "$writers" "$seconds"
fi

work=$(mktemp -d /tmp/lumo-server-bench-work-XXXXXX)
trap 'rm -rf "$work"' EXIT
database=journal
account=$(id -un)
admin_password=$(cat "$LUMO_PG_ADMIN_PASSFILE")
admin() { PGPASSWORD=$admin_password "$psql" -X -q -A -t -v ON_ERROR_STOP=1 -U "$LUMO_PG_ADMIN" "$@"; }

echo "making the journal of $rows + 1,000 rows on the server..."
admin -d postgres -c "CREATE DATABASE $database"
admin -d "$database" -f app/schema/logon-postgresql.sql >/dev/null
account_password=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
admin -d "$database" -c "CREATE ROLE \"$account\" LOGIN PASSWORD '$account_password' IN ROLE logonjournal_recorders"
(umask 077 && echo "$PGHOST:$PGPORT:$database:$account:$account_password" >"$work/pgpass")
# The account logs in as itself, its password from the file as the driver and psql find it.
export PGPASSFILE=$work/pgpass
unset PGPASSWORD PGUSER
# The rows go in before the indexes (one sort each instead of a million look-ups); the
# indexes are made again from the shipped schema's own definitions.
indexes=$(admin -d "$database" -c "SELECT indexdef || ';' FROM pg_indexes WHERE tablename = 'Logon' AND indexname <> 'Logon.PrimaryKey'")
admin -d "$database" -c "SELECT 'DROP INDEX \"' || indexname || '\";' FROM pg_indexes WHERE tablename = 'Logon' AND indexname <> 'Logon.PrimaryKey'" |
  admin -d "$database" >/dev/null
admin -d "$database" >/dev/null <<SQL
INSERT INTO "Logon" ("Username", "Computer", "logontime", "logofftime", "IP", "Betriebssystem", "Typ")
SELECT 'user' || (i % 500), 'PC' || (i % 300),
       date_trunc('day', localtimestamp) - (1 + i % 1000) * interval '1 day' + (i % 80000) * interval '1 second',
       date_trunc('day', localtimestamp) - (1 + i % 1000) * interval '1 day' + (i % 80000 + 3600) * interval '1 second',
       '10.0.' || (i % 250) || '.' || (i % 200), 'Debian GNU/Linux 12 (bookworm) 6.1.0', 'logon'
FROM generate_series(1, $rows) AS i;
INSERT INTO "Logon" ("Username", "Computer", "logontime", "IP", "Betriebssystem", "Typ")
SELECT 'user' || (i % 500), 'PC' || (i % 300), date_trunc('day', localtimestamp) + (i % 600) * interval '1 second',
       '10.0.0.' || (i % 200), 'Debian GNU/Linux 12 (bookworm) 6.1.0', 'logon'
FROM generate_series(1, 1000) AS i;
$indexes
VACUUM ANALYZE "Logon";
SQL
echo "  $(admin -d "$database" -c 'SELECT count(*) FROM "Logon"') rows"

# The program as it is installed (debug information split off), with its module beside it.
cmake --install "$build" --prefix "$work/installed" >/dev/null
installed=$(find "$work/installed" -type f -name logonjournal -perm -u+x | head -1)
cp "$installed" "$(dirname "$installed")/libguiqt.so" "$work/"
server_ini="[db]\ntype=ODBC\nmain=DSN=$LUMO_ODBC_DSN;Database=$database\n"
printf "$server_ini" >"$work/logonjournal.ini"
unset DISPLAY WAYLAND_DISPLAY
export QT_QPA_PLATFORM=offscreen

# One round after the other, each command of the comparison once per round; prints best and
# median of each and leaves the medians (microseconds) in $medians, in the order given.
# Arguments: label1 command1 label2 command2 ... where a command is one string run by eval.
compare() {
  local count=$(($# / 2))
  local -a labels commands times
  local i=0
  while [ $# -gt 0 ]; do labels[$i]=$1; commands[$i]=$2; shift 2; i=$((i + 1)); done
  for _ in $(seq "$runs"); do
    for i in $(seq 0 $((count - 1))); do
      local start end
      start=$(date +%s%N)
      eval "${commands[$i]}" >"$work/out" 2>&1 || { echo "  failed: ${labels[$i]}"; cat "$work/out"; exit 1; }
      end=$(date +%s%N)
      times[$i]="${times[$i]:-} $(((end - start) / 1000))"
    done
  done
  medians=()
  for i in $(seq 0 $((count - 1))); do
    local sorted best median
    sorted=$(printf '%s\n' ${times[$i]} | sort -n)
    best=$(echo "$sorted" | head -1)
    median=$(echo "$sorted" | sed -n "$(((runs + 1) / 2))p")
    awk -v l="${labels[$i]}" -v b="$best" -v m="$median" 'BEGIN { printf "  %-50s best %8.2f ms   median %8.2f ms\n", l, b / 1000, m / 1000 }'
    medians+=("$median")
  done
}
ratio() { awk -v a="$1" -v b="$2" -v l="$3" 'BEGIN { printf "  %-58s %6.2f\n", l, a / b }'; }
as_account() { "$psql" -X -q -v ON_ERROR_STOP=1 -U "$account" -d "$database" "$@"; }

computer=$(hostname | cut -d. -f1 | tr a-z A-Z | cut -c1-15)
insert="INSERT INTO \"Logon\" (\"Username\", \"Computer\", \"logontime\", \"IP\", \"Betriebssystem\", \"Typ\") VALUES ('$account', '$computer', date_trunc('second', localtimestamp), '10.0.0.1', 'Debian GNU/Linux 12 (bookworm) 6.1.0', 'logon')"
stamp="UPDATE \"Logon\" SET \"logofftime\" = date_trunc('second', localtimestamp) WHERE \"ID\" = (SELECT \"ID\" FROM \"Logon\" WHERE \"Username\" = '$account' AND \"Computer\" = '$computer' AND \"logofftime\" IS NULL ORDER BY \"logontime\" DESC LIMIT 1) AND \"logofftime\" IS NULL"

if wanted logon; then
  echo
  echo "recording a logon on the server ($runs rounds, medians compared)"
  compare "psql -c INSERT, $rows + 1,000 rows" "as_account -c \"\$insert\"" \
    "logonjournal /set logon, $rows + 1,000 rows" "'$work/logonjournal' /set logon"
  ratio "${medians[1]}" "${medians[0]}" "logon vs psql INSERT:"
fi

if wanted logoff; then
  echo
  echo "stamping a logoff on the server ($runs rounds, medians compared; the logons above left open rows)"
  compare "psql -c stamping UPDATE, $rows + 1,000 rows" "as_account -c \"\$stamp\"" \
    "logonjournal /set logoff, $rows + 1,000 rows" "'$work/logonjournal' /set logoff"
  ratio "${medians[1]}" "${medians[0]}" "logoff vs psql UPDATE:"
fi

wanted stress || exit 0

# One writer: "/set logon" again and again until the deadline (nanoseconds); each success
# adds a line to done.<n>, each failure its message to failures.<n>.
writer() {
  local n=$1 deadline=$2
  while [ "$(date +%s%N)" -lt "$deadline" ]; do
    if "$work/logonjournal" /set logon >"$work/out.$n" 2>&1; then
      echo >>"$work/done.$n"
    else
      cat "$work/out.$n" >>"$work/failures.$n"
      echo >>"$work/failed.$n"
    fi
  done
}
# Runs the writers at once; leaves the successful runs in $done and the rows/s in $rate.
stress() {
  local label=$1
  rm -f "$work"/done.* "$work"/failed.* "$work"/failures.*
  local start end deadline
  start=$(date +%s%N)
  deadline=$((start + seconds * 1000000000))
  for n in $(seq "$writers"); do writer "$n" "$deadline" & done
  wait
  end=$(date +%s%N)
  # Counted over whatever files there are: a run without failures leaves no failed.<n>.
  done=$(find "$work" -maxdepth 1 -name 'done.*' -exec cat {} + | wc -l)
  local failed
  failed=$(find "$work" -maxdepth 1 -name 'failed.*' -exec cat {} + | wc -l)
  rate=$(awk -v r="$done" -v t=$(((end - start) / 1000)) 'BEGIN { printf "%.1f", r / (t / 1e6) }')
  awk -v l="$label" -v r="$done" -v f="$failed" -v t=$(((end - start) / 1000)) -v rate="$rate" 'BEGIN {
    printf "  %s: %d runs recorded in %.2f s, %s rows/s, %d failed\n", l, r, t / 1e6, rate, f }'
  if [ "$failed" -ne 0 ]; then
    cat "$work"/failures.* | sort | uniq -c | sort -rn | head -5 || true
  fi
}
status=0
expect() {
  local what=$1 got=$2 want=$3
  if [ "$got" = "$want" ]; then
    echo "  $what: $got"
  else
    echo "  $what: $got, expected $want"
    status=1
  fi
}

echo
echo "$writers workstations recording at once for $seconds s"
before=$(admin -d "$database" -c 'SELECT count(*) FROM "Logon"')
stress "server"
server_rate=$rate
expect "rows added on the server (= runs recorded)" $(($(admin -d "$database" -c 'SELECT count(*) FROM "Logon"') - before)) "$done"

# The same rows in a database file, made the way bench/journal-bench.sh makes its journals.
echo "making the journal file of $rows + 1,000 rows..."
file=$work/logon.mdb
"$jetsh" --create "$file" <app/schema/logon.sql
sqlite3 "$file" 'DROP TRIGGER "Logon.rowcount.insert"; DROP TRIGGER "Logon.rowcount.delete"'
file_indexes=$(sqlite3 "$file" "SELECT sql || ';' FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Logon' AND sql IS NOT NULL")
sqlite3 "$file" "SELECT 'DROP INDEX \"' || name || '\";' FROM sqlite_master WHERE type = 'index' AND tbl_name = 'Logon' AND sql IS NOT NULL" |
  sqlite3 "$file"
sqlite3 "$file" <<SQL
PRAGMA synchronous = OFF;
BEGIN;
WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < $rows)
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
$file_indexes
COMMIT;
SQL
"$jetsh" --count-rows Logon "$file" >/dev/null
printf '[db]\nmain=%s\n' "$file" >"$work/logonjournal.ini"
before=$(sqlite3 "$file" 'SELECT count(*) FROM Logon')
stress "database file"
file_rate=$rate
expect "rows added to the file (= runs recorded)" $(($(sqlite3 "$file" 'SELECT count(*) FROM Logon') - before)) "$done"
ratio "$server_rate" "$file_rate" "server rows/s vs file rows/s:"
exit $status

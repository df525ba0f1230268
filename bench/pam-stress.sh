#!/usr/bin/env bash
# Many sessions at once through the session module and the real journal, as at the start of a
# shift: P pamtester processes of N events each against one database set up as app/README.md
# describes (the load tests of tests/e2e/PamJournalRecordingTest.cpp at full size):
#   1. N logons each: P x N rows, none lost;
#   2. logon and logoff of one user in turn, N events each: P x N / 2 rows, every one stamped,
#      none before its logon.
# Prints rows per second and the longest recording run the module reported; ends with status
# 1 if anything was lost or not recorded. Needs root (it adds a throwaway account, group and
# PAM service, all removed again on every exit) and a build (scripts/build BUILD_DIR).
# Usage: bench/pam-stress.sh [BUILD_DIR] [PxN]     (defaults: build, 16x100)
# Run it under the build lock: flock /tmp/lumo-build.lock bench/pam-stress.sh
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
load=${2:-16x100}
test=$build/tests/PamJournalRecordingTest
[ -x "$test" ] || { echo "missing $test: build first (scripts/build $build)" >&2; exit 1; }

tests/e2e/system-state.sh save
trap 'tests/e2e/system-state.sh restore' EXIT
LUMO_PAM_LOAD=$load "$test" --gtest_filter='PamJournalLoadTest.*' --gtest_brief=1

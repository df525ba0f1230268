#!/usr/bin/env bash
# Draws the master/detail window under Xvfb on a fresh database and saves it as a PNG (the
# picture in the README): the customers above, the orders of the second customer below.
#   examples/master-detail/screenshot.sh [BUILD_DIR] [OUTPUT]
# defaults: build, docs/master-detail.png. The program must be built (target master-detail).
set -euo pipefail
cd "$(dirname "$0")/../.."
build=${1:-build}
out=${2:-docs/master-detail.png}
program="$(realpath -m "$build")/examples/master-detail/master-detail"
if [ ! -x "$program" ]; then
  echo "screenshot.sh: $program is not built (cmake --build $build --target master-detail)" >&2
  exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The program makes the database with jetsh when it is not there yet.
(cd "$work" && LUMO_SCREENSHOT="$work/shot.png" \
  xvfb-run -a -s "-screen 0 1024x768x24" "$program" customers.mdb)
if [ ! -s "$work/shot.png" ]; then
  echo "screenshot.sh: the program saved no picture" >&2
  exit 1
fi
mkdir -p "$(dirname "$out")"
cp "$work/shot.png" "$out"
echo "saved $out ($(stat -c %s "$out") bytes)"

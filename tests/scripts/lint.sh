#!/usr/bin/env bash
# scripts/lint in a throwaway repository with the project's .clang-tidy: it stops on a badly
# named symbol that a change declares, in a source file or in a header seen through one, and on
# a changed file that does not compile; it passes names that follow the scheme and leaves
# alone the lines a change did not touch.
#   lint.sh SOURCE_DIR
set -uo pipefail
source_dir=$1
lint="$source_dir/scripts/lint"
work=$(mktemp -d "${TMPDIR:-/tmp}/lumo-lint-test-XXXXXX")
trap 'rm -rf "$work"' EXIT
failures=0

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

repo="$work/repo"
mkdir -p "$repo/runtime"
cd "$repo"
git init -q -b main .
git config user.name "Lint Test"
git config user.email "lint-test@example.invalid"
cp "$source_dir/.clang-tidy" .
# How each file compiles, as a build's compile_commands.json says it.
mkdir build
compiler=$(command -v c++)
{
  echo "["
  for unit in Sample Other; do
    [ "$unit" = Other ] && echo ","
    printf '{"directory": "%s/build", "command": "%s -std=c++20 -I%s -c %s/runtime/%s.cpp -o %s.o", "file": "%s/runtime/%s.cpp"}\n' \
      "$repo" "$compiler" "$repo" "$repo" "$unit" "$unit" "$repo" "$unit"
  done
  echo "]"
} >build/compile_commands.json

cat >runtime/Sample.h <<'EOF'
#pragma once
namespace lumo {
class Sample {
 public:
  int Count() const { return count_; }

 private:
  int count_ = 0;
};
}  // namespace lumo
EOF
cat >runtime/Sample.cpp <<'EOF'
#include "runtime/Sample.h"
namespace lumo {
// Written before the scheme: changes elsewhere in the file must not report it.
int old_style_total() { return Sample().Count(); }
}  // namespace lumo
EOF
cat >runtime/Other.cpp <<'EOF'
#include "runtime/Sample.h"
namespace lumo {
int OtherCount() { return Sample().Count(); }
}  // namespace lumo
EOF
git add -A && git commit -qm base
base=$(git rev-parse HEAD)
git checkout -qb topic

# Runs the lint; sets `status` and `output`.
run_lint() {
  output=$("$lint" -p build "$@" 2>&1)
  status=$?
}

# 1. Names that follow the scheme, beside an old name that does not: passes.
cat >>runtime/Sample.cpp <<'EOF'
namespace lumo {
constexpr int kLimit = 3;
int LimitedTotal(int firstValue) {
  const int doubled = firstValue * 2;
  return doubled < kLimit ? doubled : kLimit;
}
}  // namespace lumo
EOF
git commit -qam "good names"
run_lint "$base..HEAD"
[ $status -eq 0 ] || fail "names that follow the scheme were refused: $output"
[[ "$output" == *"1 file(s) checked"* ]] || fail "the changed file was not checked: $output"
[[ "$output" != *old_style_total* ]] || fail "an unchanged line was reported: $output"

# 2. A badly named function and parameter in a changed source file: refused, and named.
good=$(git rev-parse HEAD)
cat >>runtime/Sample.cpp <<'EOF'
namespace lumo {
int bad_function(int Value) { return Value; }
}  // namespace lumo
EOF
git commit -qam "bad names"
run_lint "$good..HEAD"
[ $status -eq 1 ] || fail "a badly named function passed (status $status): $output"
[[ "$output" == *"invalid case style for function 'bad_function'"* ]] || fail "bad_function not named: $output"
[[ "$output" == *"invalid case style for parameter 'Value'"* ]] || fail "the parameter not named: $output"
[[ "$output" != *old_style_total* ]] || fail "an unchanged line was reported: $output"
git reset -q --hard "$good"

# 3. A header alone changes: checked through a source that includes it.
sed -i 's/  int count_ = 0;/  int count_ = 0;\n  int lastCount = 0;/' runtime/Sample.h
git commit -qam "member without its underscore"
run_lint "$good..HEAD"
[ $status -eq 1 ] || fail "a member without its trailing underscore in a header passed: $output"
[[ "$output" == *"invalid case style for private member 'lastCount'"* ]] || fail "lastCount not named: $output"
git reset -q --hard "$good"

# 4. The default range is the branch since it left main, with uncommitted edits.
cat >>runtime/Other.cpp <<'EOF'
namespace lumo {
struct badly_named_type {};
}  // namespace lumo
EOF
run_lint
[ $status -eq 1 ] || fail "an uncommitted bad name on the branch passed: $output"
[[ "$output" == *"'badly_named_type'"* ]] || fail "badly_named_type not named: $output"
git checkout -q -- runtime/Other.cpp

# 5. A changed file the checker cannot compile: refused, not passed unchecked.
echo "int Broken( {" >>runtime/Other.cpp
git commit -qam "broken"
run_lint "$good..HEAD"
[ $status -ne 0 ] || fail "a file that does not compile passed: $output"
git reset -q --hard "$good"

# 6. A change that only removes lines has nothing to check.
sed -i '/old_style_total/d' runtime/Sample.cpp
git commit -qam "remove"
run_lint "$good..HEAD"
[ $status -eq 0 ] || fail "a change that only removes lines failed: $output"

if [ $failures -gt 0 ]; then
  echo "$failures check(s) failed"
  exit 1
fi
echo "scripts/lint: all checks passed"

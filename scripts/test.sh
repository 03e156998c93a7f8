#!/usr/bin/env bash
# Installs what is missing, builds the test suite and runs it: everything under
# ASan+UBSan (g++), then the threaded tests again under TSan, built with clang so that
# the same build checks the lock annotations (-Werror=thread-safety). A private MariaDB
# server is started for the run and stopped afterwards, also when tests fail.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
jobs=$(nproc)

cmake --preset asan >/dev/null
cmake --build --preset asan -j "$jobs"
cmake --preset tsan >/dev/null
cmake --build --preset tsan -j "$jobs"

dbdir=$PWD/build/testdb
trap 'scripts/test-db.sh stop "$dbdir"' EXIT
KALVIRA_SERVICE=$(scripts/test-db.sh start "$dbdir")
export KALVIRA_SERVICE KALVIRA_REQUIRE_DB=1 QT_QPA_PLATFORM=offscreen

status=0
passed=0
failed=0
# Runs one ctest preset, echoing its output, and adds its counts to the totals.
run_ctest() {
  local log=build/ctest-$1.log
  set +e
  ctest --preset "$1" -j "$jobs" 2>&1 | tee "$log"
  local rc=${PIPESTATUS[0]}
  set -e
  [ "$rc" -eq 0 ] || status=1
  local line total bad
  line=$(grep -E 'tests passed, [0-9]+ tests? failed out of [0-9]+' "$log" | tail -1 || true)
  if [ -n "$line" ]; then
    total=$(sed -E 's/.*out of ([0-9]+).*/\1/' <<<"$line")
    bad=$(sed -E 's/.*passed, ([0-9]+) tests? failed.*/\1/' <<<"$line")
    passed=$((passed + total - bad))
    failed=$((failed + bad))
  fi
}

echo "== ASan + UBSan: the whole suite"
run_ctest asan
echo "== TSan: the threaded tests"
run_ctest tsan
echo
echo "Total: $passed passed, $failed failed"
exit $status

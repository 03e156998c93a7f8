#!/usr/bin/env bash
# Installs what is missing, builds the test suite and runs it: everything under
# ASan+UBSan, then the threaded tests again under TSan. A private MariaDB server is
# started for the run and stopped afterwards, also when tests fail.
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
echo "== ASan + UBSan: the whole suite"
ctest --preset asan -j "$jobs" || status=1
echo "== TSan: the threaded tests"
ctest --preset tsan -j "$jobs" || status=1
exit $status

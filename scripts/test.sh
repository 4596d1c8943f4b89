#!/usr/bin/env bash
# Sets up what is missing, builds Lorvex in Debug with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test, the database ones also
# against a private PostgreSQL 15 it starts (scripts/pg_test_server.sh).
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
lorvex_install_packages

build="${LORVEX_TEST_BUILD:-$root/build-test}"
werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Debug -DLORVEX_SANITIZE=ON \
    -DLORVEX_WERROR="$werror" -DLORVEX_BUILD_BENCH=OFF
cmake --build "$build" --parallel "$(nproc)"
# The database tests run once more against a private PostgreSQL server,
# stopped however the tests end.
# shellcheck source=pg_test_server.sh
source "$root/scripts/pg_test_server.sh"
trap lorvex_pg_stop EXIT
lorvex_pg_start
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" "$@"

#!/usr/bin/env bash
# Sets up what is missing, builds Lorvex in Debug with AddressSanitizer and
# UndefinedBehaviorSanitizer, and runs every test.
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
cd "$build"
ctest --output-on-failure --parallel "$(nproc)" "$@"

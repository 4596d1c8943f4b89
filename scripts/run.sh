#!/usr/bin/env bash
# Sets up what is missing, builds Lorvex in Release and starts it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
lorvex_install_packages

build="${LORVEX_RUN_BUILD:-$root/build-release}"
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release
cmake --build "$build" --parallel "$(nproc)"
# The data folder, database and report templates (kept when they exist).
"$build/src/cli/lorvex-cli" install-data
echo "Lorvex is starting; a measurement file to try: $root/samples/sample.mdt"
exec "$build/src/app/lorvex"

#!/usr/bin/env bash
# The checks CI runs besides scripts/test.sh, each in its own build folder:
#   clang   the tree without the Qt parts, built with clang and tested;
#   fuzz    the measurement fuzz target (libFuzzer, ASan + UBSan) over the
#           seed corpus, then for LORVEX_FUZZ_SECONDS (default 60) seconds, and
#           the GSI/M5 target for LORVEX_INSTRUMENT_FUZZ_SECONDS (default 30);
#   mingw   the core, the database layer and lorvex-cli cross-compiled for
#           Windows, and the Windows system menu compiled as a syntax check.
#   format  every C++ file of src/, tests/, tools/ and bench/ as .clang-format
#           lays it out.
# Give step names to run only those: bash scripts/ci-checks.sh clang mingw
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
lorvex_install_packages "${LORVEX_PACKAGES[@]}" "${LORVEX_CI_PACKAGES[@]}"

builds="${LORVEX_CI_BUILDS:-$root}"
jobs="$(nproc)"
werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi
common=(-DLORVEX_WERROR="$werror" -DLORVEX_BUILD_BENCH=OFF -DLORVEX_BUILD_GUI=OFF)
# Ninja and ccache speed up a developer's rebuilds; a fresh CI machine has
# neither, and neither is needed.
if command -v ninja >/dev/null; then common+=(-G Ninja); fi
if command -v ccache >/dev/null; then common+=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache); fi

step_format() {
    (cd "$root" && git ls-files -- 'src/*.cpp' 'src/*.h' 'tests/*.cpp' 'tests/*.h' \
        'tools/*.cpp' 'tools/*.h' 'bench/*.cpp' 'bench/*.h' |
        xargs clang-format --dry-run -Werror)
}

step_clang() {
    local build="$builds/build-ci-clang"
    cmake -S "$root" -B "$build" "${common[@]}" -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=Debug
    cmake --build "$build" --parallel "$jobs"
    ctest --test-dir "$build" --output-on-failure --parallel "$jobs"
}

step_fuzz() {
    local build="$builds/build-ci-fuzz"
    cmake -S "$root" -B "$build" "${common[@]}" -DCMAKE_CXX_COMPILER=clang++ \
        -DCMAKE_BUILD_TYPE=RelWithDebInfo -DLORVEX_FUZZ=ON -DLORVEX_SANITIZE=ON \
        -DLORVEX_BUILD_TESTS=OFF -DLORVEX_BUILD_CLI=OFF
    cmake --build "$build" --parallel "$jobs" --target measurement_fuzz instrument_fuzz
    # New inputs go to a scratch folder; the committed seeds stay as they are.
    local work="$build/fuzz-corpus"
    mkdir -p "$work"
    "$build/tests/fuzz/measurement_fuzz" -max_total_time="${LORVEX_FUZZ_SECONDS:-60}" \
        -max_len=16384 -timeout=10 -print_final_stats=1 -artifact_prefix="$build/" \
        "$work" "$root/tests/fuzz/corpus"
    # The GSI and M5 readers, 30 s on seeds of their own.
    local instrumentWork="$build/instrument-fuzz-corpus"
    mkdir -p "$instrumentWork"
    "$build/tests/fuzz/instrument_fuzz" -max_total_time="${LORVEX_INSTRUMENT_FUZZ_SECONDS:-30}" \
        -max_len=16384 -timeout=10 -print_final_stats=1 -artifact_prefix="$build/instrument-" \
        "$instrumentWork" "$root/tests/fuzz/instrument_corpus"
}

# A prefix holding nothing but nlohmann/json's headers and CMake files, so the
# cross build finds the header-only library without seeing the host's
# /usr/include.
stage_nlohmann() {
    local stage="$1"
    local config
    config="$(dirname "$(find /usr/share/cmake /usr/lib/cmake -name nlohmann_jsonConfig.cmake \
        -print -quit 2>/dev/null)")"
    mkdir -p "$stage/share/cmake/nlohmann_json" "$stage/include"
    cp "$config"/*.cmake "$stage/share/cmake/nlohmann_json/"
    ln -sfn /usr/include/nlohmann "$stage/include/nlohmann"
    echo "$stage/share/cmake/nlohmann_json"
}

step_mingw() {
    local build="$builds/build-ci-mingw"
    local nlohmann
    nlohmann="$(stage_nlohmann "$build/host-headers")"
    cmake -S "$root" -B "$build" "${common[@]}" \
        -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-w64-x86_64.cmake" -DCMAKE_BUILD_TYPE=Release \
        -DLORVEX_BUILD_TESTS=OFF -Dnlohmann_json_DIR="$nlohmann"
    cmake --build "$build" --parallel "$jobs"
    # No Qt for MinGW exists in Debian, so the Windows system menu cannot be
    # built or linked; Qt's headers are the same for every platform apart
    # from the configuration headers, so the Linux build's headers give a
    # compile check of our Win32 code.
    local qt
    qt="$(pkg-config --variable=includedir Qt6Widgets)"
    x86_64-w64-mingw32-g++-posix -std=c++20 -fsyntax-only -Wall -Wextra -Wpedantic -Werror \
        -I "$root/src" -isystem "$qt" -isystem "$qt/QtCore" -isystem "$qt/QtGui" \
        -isystem "$qt/QtWidgets" "$root/src/window/system_menu_windows.cpp"
    echo "Windows build: $(cd "$build" && ls src/cli/lorvex-cli.exe src/import/liblorvex_import.a \
        src/session/liblorvex_session.a src/db/liblorvex_db.a | tr '\n' ' ')"
}

steps=("$@")
if [ "${#steps[@]}" -eq 0 ]; then steps=(format clang fuzz mingw); fi
summary=()
for s in "${steps[@]}"; do
    start=$SECONDS
    echo "=== ci-checks: $s"
    "step_$s"
    summary+=("$s $((SECONDS - start)) s")
done
echo "=== ci-checks passed: ${summary[*]}"

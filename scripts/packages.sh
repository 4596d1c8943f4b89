# The Debian packages Lorvex needs to build, test and run. The one list both
# scripts/run.sh and scripts/test.sh install from; add new dependencies here.
LORVEX_PACKAGES=(
    cmake g++ make pkg-config locales
    libgtest-dev libbenchmark-dev
    nlohmann-json3-dev
    qt6-base-dev libgl-dev qt6-svg-dev
    unixodbc unixodbc-dev odbcinst libsqliteodbc sqlite3
    fonts-noto-cjk poppler-utils
    qt6-qpa-plugins qt6-translations-l10n
    desktop-file-utils shared-mime-info dpkg-dev file
    libqpdf-dev
    libxlsxwriter-dev python3 python3-openpyxl
    postgresql odbc-postgresql
)

# What scripts/ci-checks.sh needs on top: clang and its libFuzzer and
# sanitizer runtimes, and the MinGW-w64 cross compiler with the Windows
# headers and import libraries (ODBC's among them).
LORVEX_CI_PACKAGES=(
    clang clang-format libclang-rt-14-dev
    g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev
)

# Installs whichever of the named packages (by default LORVEX_PACKAGES) are
# missing. Works as root or with sudo.
lorvex_install_packages() {
    local wanted=("$@")
    if [ "${#wanted[@]}" -eq 0 ]; then wanted=("${LORVEX_PACKAGES[@]}"); fi
    local missing=()
    local pkg
    for pkg in "${wanted[@]}"; do
        if ! dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'install ok installed'; then
            missing+=("$pkg")
        fi
    done
    if [ "${#missing[@]}" -eq 0 ]; then
        return 0
    fi
    local sudo=()
    if [ "$(id -u)" -ne 0 ]; then
        sudo=(sudo)
    fi
    echo "Installing: ${missing[*]}"
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get update -qq
    "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

#!/usr/bin/env bash
# Lorvex as a user gets it: a Release build without the source-tree fallback,
# so the installed programs can only find what was installed; that build
# installed into a temporary prefix and run from there
# (check-installed-tree.sh); the Debian package built, its control data and
# contents inspected, and its lorvex-cli run from the unpacked files.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
# shellcheck source=packages.sh
source "$root/scripts/packages.sh"
lorvex_install_packages

fail() { echo "check-install: $*" >&2; exit 1; }

build="${LORVEX_INSTALL_BUILD:-$root/build-install}"
werror=OFF
if [ "${CI:-}" = "true" ]; then werror=ON; fi
cmake -S "$root" -B "$build" -DCMAKE_BUILD_TYPE=Release -DLORVEX_SOURCE_RESOURCES=OFF \
    -DLORVEX_BUILD_TESTS=OFF -DLORVEX_BUILD_BENCH=OFF -DLORVEX_WERROR="$werror" >/dev/null
cmake --build "$build" --parallel "$(nproc)"

for program in "$build/src/cli/lorvex-cli" "$build/src/app/lorvex"; do
    if grep -qF "$root/resources" "$program"; then
        fail "$program still knows the source tree's resources"
    fi
done
desktop-file-validate "$root/packaging/linux/lorvex.desktop"
bash "$root/scripts/check-installed-tree.sh" "$build"

# The package.
rm -f "$build"/lorvex_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/lorvex_*.deb)
if [ "${#debs[@]}" -ne 1 ] || [ ! -f "${debs[0]}" ]; then fail "cpack made no single lorvex_*.deb"; fi
deb="${debs[0]}"
depends="$(dpkg-deb -f "$deb" Depends)"
for needed in fonts-noto-cjk libsqliteodbc unixodbc qt6-qpa-plugins qt6-translations-l10n \
    libqt6widgets6 libodbc2 libodbcinst2; do
    [[ ", $depends," == *", $needed"[\ ,]* ]] || fail "Depends lacks $needed: $depends"
done
contents="$(dpkg-deb -c "$deb")"
for path in usr/bin/lorvex usr/bin/lorvex-cli usr/share/applications/lorvex.desktop \
    usr/share/mime/packages/lorvex.xml usr/share/icons/hicolor/scalable/apps/lorvex.svg \
    usr/share/icons/hicolor/48x48/apps/lorvex.png usr/share/icons/hicolor/256x256/apps/lorvex.png \
    usr/share/lorvex/resources/schema.sql usr/share/lorvex/resources/templates/Second.rpt \
    usr/lib/lorvex/lorvex-cli-drawing.so; do
    grep -q " \./$path\$" <<<"$contents" || fail "$deb lacks /$path"
done

# apt can install it: every dependency resolves (nothing is installed).
apt-get install --simulate -q "$deb" 2>&1 | grep -q '^Inst lorvex ' ||
    fail "apt cannot install $deb: $(apt-get install --simulate -q "$deb" 2>&1 | tail -5)"

# The packaged lorvex-cli finds the packaged resources from where it lies.
tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
dpkg-deb -x "$deb" "$tmp/root"
mkdir -p "$tmp/home"
HOME="$tmp/home" XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config" ODBCINI="$tmp/odbc.ini" \
    LORVEX_RESOURCES='' "$tmp/root/usr/bin/lorvex-cli" install-data >"$tmp/install.json" ||
    fail "the packaged install-data failed: $(cat "$tmp/install.json")"
grep -qF "\"resources\": \"$tmp/root/usr/share/lorvex/resources\"" "$tmp/install.json" ||
    fail "the packaged lorvex-cli did not use the packaged resources: $(cat "$tmp/install.json")"

echo "check-install: $(basename "$deb"), $(stat -c %s "$deb") bytes, $(wc -l <<<"$contents") entries"
echo "check-install: Depends: $depends"

#!/usr/bin/env bash
# Installs the build in BUILD_DIR into a temporary prefix and checks the
# installed tree on its own: the files a desktop expects (menu entry, file
# type, icons, resources), and lorvex-cli setting up its data folder and
# writing the sample's record book from the installed resources only.
#   scripts/check-installed-tree.sh BUILD_DIR
# Nothing outside a temporary folder is touched: HOME, the XDG folders and
# ODBCINI point into it.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
build="$(cd "${1:?usage: check-installed-tree.sh BUILD_DIR}" && pwd)"

tmp="$(mktemp -d)"
trap 'rm -rf "$tmp"' EXIT
fail() { echo "check-installed-tree: $*" >&2; exit 1; }

export HOME="$tmp/home" XDG_DATA_HOME="$tmp/data" XDG_CONFIG_HOME="$tmp/config"
export XDG_RUNTIME_DIR="$tmp/runtime" ODBCINI="$tmp/odbc.ini" QT_QPA_PLATFORM=offscreen
unset LORVEX_RESOURCES
mkdir -p "$HOME" "$tmp/work"
mkdir -m 700 "$XDG_RUNTIME_DIR"

prefix="$tmp/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null

gui=0
grep -q '^LORVEX_BUILD_GUI:BOOL=ON' "$build/CMakeCache.txt" && gui=1
expected=(
    bin/lorvex-cli
    share/lorvex/resources/schema.sql
    share/lorvex/resources/strings.tsv
    share/lorvex/resources/templates/Second.rpt
    share/lorvex/resources/templates/ThirdandFour.rpt
    share/mime/packages/lorvex.xml
)
if [ "$gui" = 1 ]; then
    expected+=(
        bin/lorvex
        share/applications/lorvex.desktop
        share/icons/hicolor/scalable/apps/lorvex.svg
        share/icons/hicolor/48x48/apps/lorvex.png
        share/icons/hicolor/256x256/apps/lorvex.png
    )
fi
for path in "${expected[@]}"; do
    [ -e "$prefix/$path" ] || fail "not installed: $path"
done
# lorvex-cli draws through its module, found in the library folder.
compgen -G "$prefix/lib*/lorvex/lorvex-cli-drawing.so" >/dev/null ||
    fail "not installed: lib/lorvex/lorvex-cli-drawing.so"
! ldd "$prefix/bin/lorvex-cli" | grep -i -E 'Qt6|qpdf|xlsxwriter' ||
    fail "lorvex-cli itself loads the drawing libraries"
if [ "$gui" = 1 ]; then
    for size in 48 256; do
        file "$prefix/share/icons/hicolor/${size}x${size}/apps/lorvex.png" |
            grep -q "PNG image data, $size x $size" || fail "the $size px icon is not $size x $size"
    done
    desktop-file-validate "$prefix/share/applications/lorvex.desktop"
fi

# The file type as a desktop sees it once the MIME cache is built.
update-mime-database "$prefix/share/mime" 2>"$tmp/mime.log" || fail "$(cat "$tmp/mime.log")"
grep -qx 'application/x-lorvex-mdt:\*\.mdt' "$prefix/share/mime/globs" ||
    fail "*.mdt is not application/x-lorvex-mdt in the MIME database"

# The installed lorvex-cli, run from elsewhere, takes its resources from the
# prefix: it says so, and does the whole road with them.
cd "$tmp/work"
cp "$root/samples/sample.mdt" .
"$prefix/bin/lorvex-cli" install-data >install.json || fail "install-data failed: $(cat install.json)"
grep -qF "\"resources\": \"$prefix/share/lorvex/resources\"" install.json ||
    fail "install-data did not use the installed resources: $(cat install.json)"
"$prefix/bin/lorvex-cli" sections sample.mdt --xlsx table.xlsx >sections.json ||
    fail "sections --xlsx failed: $(cat sections.json)"
[ "$(head -c 2 table.xlsx)" = "PK" ] || fail "table.xlsx is not a workbook"
if [ "$gui" = 1 ]; then
    "$prefix/bin/lorvex-cli" report sample.mdt --line 1 --pdf book.pdf >report.json ||
        fail "report failed: $(cat report.json)"
    [ "$(head -c 5 book.pdf)" = "%PDF-" ] || fail "book.pdf is not a PDF"
    pages="$(pdfinfo book.pdf | awk '/^Pages:/ { print $2 }')"
    [ "${pages:-0}" -ge 1 ] || fail "book.pdf has no pages"
    echo "check-installed-tree: installed tree OK (record book: $pages page(s), $(stat -c %s book.pdf) bytes)"
else
    "$prefix/bin/lorvex-cli" report sample.mdt --line 1 >report.json || fail "report failed"
    echo "check-installed-tree: installed tree OK"
fi

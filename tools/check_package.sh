#!/usr/bin/env bash
# Builds the Debian package, installs it on this machine with apt, checks that the programs run
# from PATH and that the desktop, udev and Help find their files, and removes the package again.
# Installing and removing need root; the script asks sudo for them when it runs as a user. Fails
# on the first check that does not hold.
#   bash tools/check_package.sh [BUILD_DIR]     (default build-deb)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-deb}

cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
    -DKMR_BUILD_TESTS=OFF
cmake --build "$dir" -j"$(nproc)"
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB)
deb=$(realpath "$dir"/*.deb)
package=$(dpkg-deb --field "$deb" Package)

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb"
trap 'as_root apt-get purge -y -q "$package"' EXIT  # also when a check fails

fail() {
    echo "package check failed: $*" >&2
    exit 1
}
share=/usr/share
for program in morvane tressel; do
    [ "$(command -v "$program")" = "/usr/bin/$program" ] || fail "$program is not on PATH"
    "$program" --version || fail "$program --version"
    desktop-file-validate "$share/applications/$program.desktop"
    appstreamcli validate --no-net "$share/metainfo/$program.metainfo.xml"
    for icon in 48x48/apps/$program.png 64x64/apps/$program.png 128x128/apps/$program.png \
        scalable/apps/$program.svg; do
        [ -s "$share/icons/hicolor/$icon" ] || fail "icon $icon is missing"
    done
    [ -s "$share/man/man1/$program.1" ] || fail "man page of $program is missing"
done
cmp d2xx/99-kmr-ftdi.rules /usr/lib/udev/rules.d/99-kmr-ftdi.rules || fail "udev rule"
docdir=$share/doc/$package
head -c 5 "$docdir/MorvaneManual.pdf" | grep -q '%PDF-' || fail "no manual in $docdir"
# Help looks in the folder compiled into morvane (a UTF-16 string in the program).
strings -el /usr/bin/morvane | grep -qFx "$docdir" || fail "morvane does not look in $docdir"

trap - EXIT
as_root apt-get purge -y -q "$package"
[ ! -e /usr/bin/morvane ] && [ ! -e /usr/lib/udev/rules.d/99-kmr-ftdi.rules ] ||
    fail "files left behind after removing $package"
echo "package $package: installed, checked and removed again"

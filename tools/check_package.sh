#!/usr/bin/env bash
# Builds the Debian package after a plain configure (the default prefix, /usr/local), checks its
# contents and lintian's verdict, installs it on this machine with apt, checks that the programs
# run from PATH and that the desktop, udev and Help find their files, and removes the package
# again. Installing and removing need root; the script asks sudo for them when it runs as a user.
# Fails on the first check that does not hold; lintian's warnings are printed, its errors fail.
#   bash tools/check_package.sh [BUILD_DIR]     (default build-deb)
#   KMR_PACKAGE_REUSE_BUILD=1 bash tools/check_package.sh build   (pack CI's configured build)
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build-deb}

fail() {
    echo "package check failed: $*" >&2
    exit 1
}

# KMR_PACKAGE_REUSE_BUILD=1 packs a build folder that is already configured (CI's own), as it is.
if [ -z "${KMR_PACKAGE_REUSE_BUILD:-}" ] || [ ! -f "$dir/CMakeCache.txt" ]; then
    cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKMR_BUILD_TESTS=OFF
fi
cmake --build "$dir" -j"$(nproc)"
rm -f "$dir"/*.deb
(cd "$dir" && cpack -G DEB)
deb=$(realpath "$dir"/*.deb)
package=$(dpkg-deb --field "$deb" Package)

# Everything under /usr, and none under the build's default prefix /usr/local.
contents=$(dpkg-deb --fsys-tarfile "$deb" | tar -t | sed 's|^\./|/|')
outside=$(grep -vx -e '/' -e '/usr/.*' <<<"$contents" || true; grep '^/usr/local/' <<<"$contents" || true)
[ -z "$outside" ] || fail "files outside /usr: $outside"
docdir=/usr/share/doc/$package
for file in /usr/lib/udev/rules.d/99-kmr-ftdi.rules "$docdir/copyright" "$docdir/changelog.gz" \
    /usr/share/man/man1/morvane.1.gz /usr/share/man/man1/tressel.1.gz; do
    grep -qFx "$file" <<<"$contents" || fail "$file is not in the package"
done

# Lintian's errors (E:) fail the check; its warnings and notes are shown and let pass.
command -v lintian >/dev/null || fail "lintian is missing (tools/install_deps.sh installs it)"
lintian_report=$(lintian "$deb" || true)
echo "--- lintian"
echo "${lintian_report:-(nothing to report)}"
! grep -q '^E: ' <<<"$lintian_report" || fail "lintian reports errors"

as_root() {
    if [ "$(id -u)" -eq 0 ]; then "$@"; else sudo "$@"; fi
}
as_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -q "$deb"
trap 'as_root apt-get purge -y -q "$package"' EXIT  # also when a check fails

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
    gzip -t "$share/man/man1/$program.1.gz" || fail "man page of $program"
done
cmp d2xx/99-kmr-ftdi.rules /usr/lib/udev/rules.d/99-kmr-ftdi.rules || fail "udev rule"
# Help looks for the manual from the program's folder (a UTF-16 string in the program).
from_program=$(strings -el /usr/bin/morvane | grep -x '/\(\.\./\)\+share/doc/.*' ||
    fail "morvane names no manual folder beside it")
[ "$(realpath -m "/usr/bin$from_program")" = "$docdir" ] ||
    fail "morvane looks in /usr/bin$from_program, the manual is in $docdir"
head -c 5 "$docdir/MorvaneManual.pdf" | grep -q '%PDF-' || fail "no manual in $docdir"

trap - EXIT
as_root apt-get purge -y -q "$package"
[ ! -e /usr/bin/morvane ] && [ ! -e /usr/lib/udev/rules.d/99-kmr-ftdi.rules ] ||
    fail "files left behind after removing $package"
echo "package $package: installed, checked and removed again"

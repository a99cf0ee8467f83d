#!/usr/bin/env bash
# Installs what building, running and testing the programs needs on Debian 12. Run it as root,
# or as a user who may use sudo: it raises itself then.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
    exec sudo bash "$0" "$@"
fi
# umockdev puts an emulated FTDI chip on a mocked USB bus for the tests of the real adapter path;
# locales brings the locale sources from which the build makes a decimal-comma locale for a test;
# jq parses the JSON lines of the subcommands in their shell tests; lintian judges the package;
# libsystemd-dev lets --log=journal reach the system journal.
packages=(cmake g++ make pkg-config qtbase5-dev qt5-style-plugins qt6-base-dev qt6-base-dev-tools
          libgl-dev libftdi1-dev libusb-1.0-0-dev clang-format googletest libgtest-dev libgmock-dev
          umockdev libumockdev-dev fonts-dejavu-core dpkg-dev desktop-file-utils appstream binutils
          locales jq lintian libsystemd-dev clang-14 libclang-rt-14-dev)  # the last two build the fuzzers (libFuzzer)
missing=()
for p in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if ((${#missing[@]})); then
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

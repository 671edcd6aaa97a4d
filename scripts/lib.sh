# SPDX-FileCopyrightText: 2026 Wavemill developers
#
# SPDX-License-Identifier: GPL-3.0-or-later

# Shared by scripts/run, scripts/test and scripts/bench.
# shellcheck shell=bash

# The checkout itself, even when reached through a symbolic link.
ROOT="$(cd -P "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

# What building and running Wavemill needs on Debian 12.
# (help2man makes the manual pages from the programs' --help; libzip writes
# sigrok session files; libsigrokdecode runs sigrok's protocol decoders inside
# wavemill-decode.)
BUILD_PACKAGES=(build-essential cmake ninja-build pkgconf qt6-base-dev qt6-serialport-dev libgl-dev
                libqt6serialport6 qt6-qpa-plugins fonts-wqy-microhei help2man libzip-dev
                libsigrokdecode-dev)

# What the package check runs on the packages, besides building them (xdg-mime
# and the MIME look-up it uses, to see the installed package open .ird files).
PACKAGE_CHECK_PACKAGES=(lintian reuse devscripts appstream desktop-file-utils man-db file
                        xdg-utils libfile-mimeinfo-perl)

# Installs the Debian packages that are missing: apt-get as root, sudo
# otherwise; when neither can be used, prints the line to run and stops.
# ensure_packages [--no-install-recommends] PACKAGE...
ensure_packages() {
  local options=""
  if [ "${1:-}" = "--no-install-recommends" ]; then
    options="$1 "
    shift
  fi
  local missing=()
  local pkg
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q "install ok installed" || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return 0
  echo "Installing missing packages: ${missing[*]}"
  local line="apt-get install -y ${options}${missing[*]}"
  if [ "$(id -u)" -eq 0 ]; then
    DEBIAN_FRONTEND=noninteractive apt-get update -qq || true
    DEBIAN_FRONTEND=noninteractive $line
  elif command -v sudo >/dev/null 2>&1 && sudo -n true 2>/dev/null; then
    sudo DEBIAN_FRONTEND=noninteractive apt-get update -qq || true
    sudo DEBIAN_FRONTEND=noninteractive $line
  else
    echo "These packages are needed; please run as root:" >&2
    echo "  sudo apt-get update && sudo $line" >&2
    exit 1
  fi
}

# Configures and builds into a folder: build_into DIR BUILD_TYPE [cmake options...]
build_into() {
  local dir="$1" type="$2"
  shift 2
  cmake -S "$ROOT" -B "$dir" -G Ninja -DCMAKE_BUILD_TYPE="$type" "$@" >/dev/null
  cmake --build "$dir" --parallel "$(nproc)"
}

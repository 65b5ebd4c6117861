#!/usr/bin/env bash
# Installs the build into a fresh staging root, as a package would under /usr.
# Usage: install_root.sh CMAKE BUILD_DIR ROOT
set -euo pipefail
cmake=$1
build=$2
root=$3

rm -rf "$root"
DESTDIR="$root" "$cmake" --install "$build" --prefix /usr

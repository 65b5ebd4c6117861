#!/usr/bin/env bash
# Runs Debian's lintian on the package cpack made in the build folder: no error and no warning.
# Usage: lintian.sh BUILD_DIR PACKAGE
# Without a package it ends with $SKIP_RETURN_CODE, which CTest counts as skipped.
set -euo pipefail
build=$1
package=$2

deb=$(ls -t "$build/${package}"_*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
    echo "SKIP: no ${package}_*.deb in $build; make one with 'cpack -G DEB' there (scripts/test does)"
    exit "$SKIP_RETURN_CODE"
fi
# Info tags are advice; errors and warnings fail.
lintian --fail-on error,warning --allow-root --tag-display-limit 0 "$deb"
echo "lintian ok: $deb"

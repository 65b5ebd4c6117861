#!/usr/bin/env bash
# Configures the source tree against a Qt 5.14 that answers like a real installation: the build
# must refuse it while configuring, rather than fail to compile against API that Qt lacks.
# Usage: qtversion.sh CMAKE SOURCE_DIR GENERATOR MAKE_PROGRAM CXX_COMPILER
set -euo pipefail
cmake=$1
source=$2
generator=$3
makeProgram=$4
compiler=$5
olderQt=5.14.2
acceptedMarker="the older Qt was accepted"

fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
config=$work/prefix/lib/cmake/Qt5
mkdir -p "$config"
cat >"$config/Qt5ConfigVersion.cmake" <<EOF_VERSION
set(PACKAGE_VERSION $olderQt)
if(PACKAGE_FIND_VERSION VERSION_GREATER PACKAGE_VERSION)
    set(PACKAGE_VERSION_COMPATIBLE FALSE)
else()
    set(PACKAGE_VERSION_COMPATIBLE TRUE)
endif()
EOF_VERSION
printf 'message(FATAL_ERROR "%s")\n' "$acceptedMarker" >"$config/Qt5Config.cmake"

# Only the stand-in may be found: the machine's own Qt would satisfy any request. Without the
# system paths the build tools must be named.
if output=$("$cmake" -S "$source" -B "$work/build" -G "$generator" -DCMAKE_MAKE_PROGRAM="$makeProgram" \
    -DCMAKE_CXX_COMPILER="$compiler" -DCMAKE_PREFIX_PATH="$work/prefix" \
    -DCMAKE_FIND_USE_CMAKE_SYSTEM_PATH=OFF -DCMAKE_FIND_USE_SYSTEM_ENVIRONMENT_PATH=OFF \
    -DCMAKE_FIND_USE_PACKAGE_REGISTRY=OFF 2>&1); then
    fail "the build configured against Qt $olderQt"
fi
case $output in
*"$acceptedMarker"*) fail "Qt $olderQt was accepted by find_package" ;;
*"$olderQt"*) ;;
*) fail "the stand-in Qt $olderQt was never considered:
$output" ;;
esac
echo "Qt $olderQt refused while configuring"

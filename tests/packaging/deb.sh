#!/usr/bin/env bash
# Unpacks the Debian package that cpack made in the build folder into a throwaway root, checks
# its layout, and starts the client from it with a private home: it must come up and point its
# autostart entry at the unpacked program, with the package's icon.
# Usage: deb.sh BUILD_DIR PACKAGE LAYOUT_SCRIPT APP_ID CLIENT [MANUAL]
# Without a current package it ends with $SKIP_RETURN_CODE, which CTest counts as skipped.
set -euo pipefail
build=$1
package=$2
layout=$3
appId=$4
client=$5
manual=${6:-}

startSeconds=60
startedMarker="RegisterBrowserActive StartHttpdServer"

fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}

deb=$(ls -t "$build/${package}"_*.deb 2>/dev/null | head -n 1 || true)
if [ -z "$deb" ]; then
    echo "SKIP: no ${package}_*.deb in $build; make one with 'cpack -G DEB' there (scripts/test does)"
    exit "$SKIP_RETURN_CODE"
fi
# A package older than the client would test yesterday's build.
if [ "$build/bin/$client" -nt "$deb" ]; then
    echo "SKIP: $deb is older than the built client; run 'cpack -G DEB' in $build again"
    exit "$SKIP_RETURN_CODE"
fi

work=$(mktemp -d)
clientPid=
cleanup() {
    if [ -n "$clientPid" ]; then
        kill "$clientPid" 2>/dev/null || true
        wait "$clientPid" 2>/dev/null || true
    fi
    rm -rf "$work"
}
trap cleanup EXIT

root=$work/root
dpkg-deb -x "$deb" "$root"
bash "$layout" "$root" "$appId" "$client" "$manual"

export HOME=$work/home
export XDG_CONFIG_HOME=$HOME/.config
export XDG_DATA_HOME=$HOME/.local/share
export XDG_CACHE_HOME=$HOME/.cache
export XDG_RUNTIME_DIR=$work/runtime
mkdir -p "$HOME" "$XDG_RUNTIME_DIR"
chmod 700 "$XDG_RUNTIME_DIR"
# Any free port, so a client already running elsewhere does not matter; the start line is a debug line.
export NORV_HTTPD_PORT=0
export QT_LOGGING_RULES="norv.*.debug=true"

command=$root/usr/bin/$client
installed=$root/usr/lib/$client/$client
autostart=$XDG_CONFIG_HOME/autostart/$client.desktop
"$command" >/dev/null 2>"$work/stderr" &
clientPid=$!

started=
for _ in $(seq $((startSeconds * 10))); do
    if grep -qF "$startedMarker" "$work/stderr" && [ -f "$autostart" ]; then
        started=yes
        break
    fi
    kill -0 "$clientPid" 2>/dev/null || break
    sleep 0.1
done
# The client ends at once, by design, while another process of the same name runs.
[ -n "$started" ] || fail "the installed client did not start within ${startSeconds}s (is another $client running?); its stderr:
$(cat "$work/stderr")"

grep -q "^Exec=$installed " "$autostart" || fail "the autostart entry does not start $installed:
$(cat "$autostart")"
# The autostart entry and the menu entry show the same icon.
grep -qx "Icon=$appId" "$autostart" || fail "the autostart entry does not name the icon $appId:
$(cat "$autostart")"
echo "package ok: $deb; autostart $(grep "^Exec=" "$autostart")"

#!/usr/bin/env bash
# Checks that a staging root holds exactly the client's files, each in its conventional place.
# Usage: layout.sh ROOT APP_ID CLIENT [MANUAL]
# Without MANUAL (a build without weasyprint) the package is expected to lack the manual.
set -euo pipefail
root=$1
appId=$2
client=$3
manual=${4:-}

fail() {
    printf 'FAIL: %s\n' "$*" >&2
    exit 1
}

icons=usr/share/icons/hicolor
expected=$(sed '/^$/d' <<EOF_FILES | sort
usr/bin/$client
${manual:+usr/bin/$manual}
usr/share/applications/$appId.desktop
usr/share/metainfo/$appId.metainfo.xml
$icons/32x32/apps/$appId.png
$icons/64x64/apps/$appId.png
$icons/128x128/apps/$appId.png
$icons/scalable/apps/$appId.svg
EOF_FILES
)
actual=$(cd "$root" && find . -type f -o -type l | sed 's|^\./||' | sort)
# Anything else (the demo portal, tools, tests, benchmarks) must not be installed.
[ "$actual" = "$expected" ] || fail "installed files differ from the expected layout:
$(diff <(printf '%s\n' "$expected") <(printf '%s\n' "$actual"))"

[ -x "$root/usr/bin/$client" ] || fail "$client is not executable"
# The client opens its manual from its own folder.
[ -z "$manual" ] || [ "$(head -c 5 "$root/usr/bin/$manual")" = "%PDF-" ] || fail "$manual is not a PDF"

desktop=$root/usr/share/applications/$appId.desktop
grep -qx "Exec=$client" "$desktop" || fail "desktop entry does not start $client"
grep -qx "Icon=$appId" "$desktop" || fail "desktop entry does not name the icon $appId"
grep -qx "X-GNOME-UsesNotifications=true" "$desktop" || fail "desktop entry does not say it sends notifications"

for size in 32 64 128; do
    icon=$root/$icons/${size}x${size}/apps/$appId.png
    file -b "$icon" | grep -q "PNG image data, $size x $size" || fail "$icon is not a $size px PNG"
done
echo "layout ok"

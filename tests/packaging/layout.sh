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
appDir=usr/lib/$client
expected=$(sed '/^$/d' <<EOF_FILES | sort
usr/bin/$client
$appDir/$client
$appDir/modules/norv-web.so
${manual:+$appDir/$manual}
usr/share/doc/$client/copyright
usr/share/doc/$client/changelog.gz
usr/share/man/man1/$client.1.gz
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

[ -x "$root/$appDir/$client" ] || fail "$client is not executable"
# The command is a link to the client in its own folder, where the client finds its manual.
[ "$(readlink "$root/usr/bin/$client")" = "../lib/$client/$client" ] || fail "usr/bin/$client does not link to $appDir"
[ -z "$manual" ] || [ "$(head -c 5 "$root/$appDir/$manual")" = "%PDF-" ] || fail "$manual is not a PDF"

desktop=$root/usr/share/applications/$appId.desktop
grep -qx "Exec=$client" "$desktop" || fail "desktop entry does not start $client"
grep -qx "Icon=$appId" "$desktop" || fail "desktop entry does not name the icon $appId"
grep -qx "X-GNOME-UsesNotifications=true" "$desktop" || fail "desktop entry does not say it sends notifications"

for size in 32 64 128; do
    icon=$root/$icons/${size}x${size}/apps/$appId.png
    file -b "$icon" | grep -q "PNG image data, $size x $size" || fail "$icon is not a $size px PNG"
done
echo "layout ok"

#!/usr/bin/env bash
# Runs the freedesktop validators on the installed desktop entry and AppStream metainfo.
# Usage: validate.sh ROOT APP_ID
set -euo pipefail
root=$1
appId=$2

desktop-file-validate "$root/usr/share/applications/$appId.desktop"
appstreamcli validate --no-net --strict --pedantic "$root/usr/share/metainfo/$appId.metainfo.xml"
echo "validators ok"

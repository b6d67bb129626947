#!/usr/bin/env bash
# The suite at work without a printer: builds what is needed and runs it in a
# temporary install root against emulated printers.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"
"$top/scripts/build.sh" "$top/build" >/dev/null

root=$(mktemp -d /tmp/ovra-demo.XXXXXX)
trap 'rm -rf "$root"' EXIT
export OVRA_INSTALL_ROOT="$root"

echo "Status responses as printers of the family send them, decoded by the suite:"
"$top/build/tools/ovra-decode/ovra-decode" --samples

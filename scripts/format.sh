#!/usr/bin/env bash
# Lays out every C and C++ file of the tree as .clang-format has it.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/format-files.sh"
format_files "$top" | (cd "$top" && xargs -0 -r clang-format -i --style=file)

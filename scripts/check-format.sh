#!/usr/bin/env bash
# Fails, naming the files, when a C or C++ file of the tree is not laid out as
# .clang-format has it. scripts/format.sh lays them out.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
. "$top/scripts/format-files.sh"
command -v clang-format >/dev/null || { echo "clang-format is not installed (Debian package clang-format)"; exit 1; }
# clang-format names each file it would change in a "file:line:col: error: ..." line.
bad=$(cd "$top" && format_files "$top" | xargs -0 -r clang-format --dry-run --style=file 2>&1 |
        sed -n 's/^\([^:]*\):[0-9]*:[0-9]*: \(error\|warning\): code should be clang-formatted.*/\1/p' | sort -u)
if [[ -n $bad ]]; then
  echo "not laid out as .clang-format has it:"
  echo "$bad"
  echo "$(wc -l <<<"$bad") file(s); scripts/format.sh lays them out"
  exit 1
fi
echo "all C and C++ files laid out as .clang-format has it"

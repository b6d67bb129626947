# shellcheck shell=bash
# format_files TOP: the C and C++ files of the tree under TOP, NUL-separated and relative
# to it: those git knows, or every one outside the build folders when TOP is no clone.
format_files() {
  if git -C "$1" rev-parse --is-inside-work-tree >/dev/null 2>&1; then
    git -C "$1" ls-files -z -- '*.c' '*.cpp' '*.h'
  else
    (cd "$1" && find . -path './build*' -prune -o -type f \( -name '*.c' -o -name '*.cpp' -o -name '*.h' \) -printf '%P\0')
  fi
}

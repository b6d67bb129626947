# shellcheck shell=bash
# A fresh Debian 12 root for installation tests: bootstrapped with debootstrap from the
# archive this machine's apt uses (or unpacked from the copy cached in the build folder),
# with /proc and /dev mounted while programs run in it, and taken down again, mounts
# first, whatever happened before.

CLEAN_ROOT_SUITE=bookworm

# debian_mirror: the first archive this machine's apt takes the suite from (one-line
# sources.list files and deb822 .sources files), else Debian's own.
debian_mirror() {
  local lists=() sources=() file mirror=""
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do [[ -f $file ]] && lists+=("$file"); done
  for file in /etc/apt/sources.list.d/*.sources; do [[ -f $file ]] && sources+=("$file"); done
  if [[ ${#lists[@]} -gt 0 ]]; then
    mirror=$(awk -v suite="$CLEAN_ROOT_SUITE" '
      $1 == "deb" { gsub(/\[[^]]*\]/, ""); if ($3 == suite) { print $2; exit } }' "${lists[@]}")
  fi
  if [[ -z $mirror && ${#sources[@]} -gt 0 ]]; then
    mirror=$(awk -v suite="$CLEAN_ROOT_SUITE" '
      function flush() {
        if (types ~ /(^| )deb( |$)/ && (" " suites " ") ~ (" " suite " ") && tolower(enabled) != "no" && uri != "") {
          print uri; found = 1; exit
        }
        types = suites = enabled = uri = ""
      }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      { key = tolower($1); sub(/:$/, "", key); value = $0; sub(/^[^:]*:[ \t]*/, "", value) }
      key == "types" { types = value }
      key == "suites" { suites = value }
      key == "enabled" { enabled = value }
      key == "uris" { split(value, u, /[ \t]+/); uri = u[1] }
      END { if (!found) flush() }' "${sources[@]}")
  fi
  mirror=${mirror:-http://deb.debian.org/debian}
  echo "${mirror%/}"
}

# mirror_reachable MIRROR: the archive answers for the suite.
mirror_reachable() {
  wget -q -O /dev/null --timeout=20 --tries=2 "$1/dists/$CLEAN_ROOT_SUITE/InRelease"
}

# bootstrap_root ROOT MIRROR CACHE LOG: a minimal Debian root in ROOT, unpacked from the
# tarball CACHE when there is one, else made by debootstrap and then kept in CACHE.
bootstrap_root() {
  local root=$1 mirror=$2 cache=$3 log=$4 include=()
  if [[ -s $cache ]]; then
    echo "unpacking the cached root $cache"
    tar -C "$root" -xpzf "$cache" && return 0
    echo "the cached root is unusable; bootstrapping anew"
    rm -f "$cache"
    find "$root" -mindepth 1 -delete
  fi
  # Over https, apt in the root needs the certificates.
  [[ $mirror == https:* ]] && include=(--include=ca-certificates)
  echo "debootstrap --variant=minbase ${include[*]:+${include[*]} }$CLEAN_ROOT_SUITE from $mirror"
  /usr/sbin/debootstrap --variant=minbase "${include[@]}" "$CLEAN_ROOT_SUITE" "$root" "$mirror" >"$log" 2>&1 ||
    { tail -20 "$log" >&2; return 1; }
  mkdir -p "$(dirname "$cache")"
  tar -C "$root" -czpf "$cache.part" . && mv "$cache.part" "$cache"
}

# mount_root ROOT: /proc, and the machine's /dev with everything below it, as slaves so
# that nothing done inside reaches the machine's own mounts.
mount_root() {
  local root=$1
  mount -t proc proc "$root/proc" && mount --rbind /dev "$root/dev" && mount --make-rslave "$root/dev"
}

# mounts_below DIR: the mount points at or below DIR, deepest first.
mounts_below() {
  findmnt -rn -o TARGET | awk -v dir="$1" 'index($0, dir "/") == 1 || $0 == dir' | LC_ALL=C sort -r
}

# unmount_below DIR: everything mounted below DIR, also what a killed run left; a busy
# mount is detached lazily.
unmount_below() {
  local target
  while read -r target; do
    [[ -n $target ]] || continue
    umount "$target" 2>/dev/null || umount -l "$target" || echo "cannot unmount $target" >&2
  done < <(mounts_below "$1")
}

# root_pids ROOT [PROGRAM]: processes whose root folder is ROOT (of PROGRAM, a path
# inside the root, when given).
root_pids() {
  local root=$1 program=${2:-} dir
  for dir in /proc/[0-9]*; do
    [[ $(readlink "$dir/root" 2>/dev/null) == "$root" ]] || continue
    [[ -z $program || $(readlink "$dir/exe" 2>/dev/null) == "$root$program" ]] || continue
    echo "${dir#/proc/}"
  done
  return 0
}

# stop_pids SIGNAL PID...: sends the signal and waits up to 10 s for the processes to go;
# whatever is left is killed. Fails when something had to be killed.
stop_pids() {
  local signal=$1 pid left
  shift
  for pid in "$@"; do [[ $pid -le 1 ]] || kill "-$signal" "$pid" 2>/dev/null || true; done
  for _ in $(seq 100); do
    left=""
    for pid in "$@"; do kill -0 "$pid" 2>/dev/null && left+=" $pid"; done
    [[ -z $left ]] && return 0
    sleep 0.1
  done
  for pid in $left; do [[ $pid -le 1 ]] || kill -KILL "$pid" 2>/dev/null || true; done
  return 1
}

# in_root ROOT COMMAND...: runs the command inside the root with a plain environment.
in_root() {
  local root=$1
  shift
  chroot "$root" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin \
    HOME=/root LANG=C.UTF-8 DEBIAN_FRONTEND=noninteractive "$@"
}

# remove_root ROOT WORK: ends what still runs in the root, unmounts it and removes WORK,
# the folder that holds it; refuses while anything is still mounted below WORK.
remove_root() {
  local root=$1 work=$2 pids
  pids=$(root_pids "$root")
  # shellcheck disable=SC2086
  [[ -z $pids ]] || stop_pids KILL $pids
  unmount_below "$work"
  if [[ -n $(mounts_below "$work") ]]; then
    echo "still mounted below $work, left in place: $(mounts_below "$work" | tr '\n' ' ')" >&2
    return 1
  fi
  rm -rf --one-file-system "$work"
}

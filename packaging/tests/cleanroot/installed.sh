# shellcheck shell=bash
# What an installation of the package leaves in a root, and what its purge takes away.
# Uses fail() and package_entries of ../common.sh, in_root of root.sh.

PACKAGE=ovra-printer-k246
UNITS=(ovra-k246-printservice.service ovra-k246-scandaemon.service)
LISTING_FORMAT='%y %m %u:%g %p %l\n'

# package_status ROOT: dpkg's status of the package in the root ("install ok installed").
package_status() {
  # shellcheck disable=SC2016
  in_root "$1" dpkg-query -W -f='${Status}' "$PACKAGE" 2>/dev/null || true
}

# root_listing ROOT: type, mode, owner, path and link target of everything in the root
# but the kernel's file systems, scratch space, logs, caches and the package manager's
# own records.
root_listing() {
  (cd "$1" && find . \( -path ./proc -o -path ./dev -o -path ./sys -o -path ./run -o -path ./tmp \
      -o -path ./var/log -o -path ./var/cache -o -path ./var/lib/apt -o -path ./var/lib/dpkg \) -prune \
      -o -printf "$LISTING_FORMAT" | LC_ALL=C sort)
}

# check_installed ROOT DEB INSTALL_ROOT: the package is configured, every entry of it is
# in the root with its mode and owner (a folder the root already had keeps its own, which
# must then be the package's too), its programs and SANE backend find their libraries and
# the tools they run, its units are enabled, its menu entries start installed programs.
check_installed() {
  local root=$1 deb=$2 install_root=$3 perms owner path follow got tool unit link exe file missing
  [[ $(package_status "$root") == "install ok installed" ]] ||
    fail "the package is not configured: $(package_status "$root")"
  while read -r perms owner path; do
    follow=-L
    [[ $perms == l* ]] && follow=""
    got=$(stat $follow -c '%A %U/%G' "$root$path" 2>/dev/null) || { fail "$path is not installed"; continue; }
    [[ $got == "$perms $owner" ]] || fail "$path is installed as '$got', the package has '$perms $owner'"
  done < <(package_entries "$deb")

  for file in "$root$install_root"/bin/* "$root"/usr/lib/*/sane/libsane-ovra.so.1; do
    [[ -f $file && ( -x $file || $file == *.so.1 ) ]] || continue
    missing=$(in_root "$root" ldd "${file#"$root"}" 2>&1 | grep 'not found' || true)
    [[ -z $missing ]] || fail "${file#"$root"} lacks libraries in a clean root: $missing"
  done

  # The programs the suite runs besides its own.
  for tool in cancel ps grep chmod; do
    in_root "$root" sh -c "command -v $tool" >/dev/null || fail "$tool, which the programs run, is not installed"
  done

  for unit in "${UNITS[@]}"; do
    link="$root/etc/systemd/system/multi-user.target.wants/$unit"
    [[ -L $link && $(readlink "$link") == "/lib/systemd/system/$unit" ]] ||
      fail "$unit is not enabled (no wants link to /lib/systemd/system/$unit)"
  done

  for file in "$root"/usr/share/applications/ovra-k246-*.desktop; do
    exe=$(sed -n 's/^Exec=\([^ ]*\).*/\1/p' "$file")
    [[ -n $exe && -x $root$exe ]] || fail "$(basename "$file") starts '$exe', which is not installed"
  done
  [[ -f $root/lib/udev/rules.d/70-ovra-k246.rules ]] || fail "the udev rule is not installed"
}

# unowned_empty_folders ROOT DEB: the folders of the package that the root has empty
# and no installed package owns. dpkg takes them for the package's own and removes them
# with it: /opt on Debian, where base-files makes it without owning it.
unowned_empty_folders() {
  local root=$1 deb=$2 perms path
  while read -r perms _ path; do
    [[ $perms == d* && -d $root$path && ! -L $root$path && -z $(ls -A "$root$path") ]] || continue
    in_root "$root" dpkg-query -S "$path" >/dev/null 2>&1 || (cd "$root" && find ".$path" -maxdepth 0 -printf "$LISTING_FORMAT")
  done < <(package_entries "$deb")
}

# check_purged ROOT LISTING_BEFORE UNOWNED: dpkg has forgotten the package, and the
# root is entry for entry as it was before the installation (with the dependencies in
# place): program files, units and their links, systemd state, udev rule, menu entries,
# the install root and what the programs wrote there are gone, nothing else was removed
# or changed but the UNOWNED entries (of unowned_empty_folders); no installed package's
# files were altered.
check_purged() {
  local root=$1 before=$2 unowned=$3 after left
  [[ $(package_status "$root") == *not-installed || -z $(package_status "$root") ]] ||
    fail "the package is still known to dpkg: $(package_status "$root")"
  after=$(root_listing "$root")
  left=$(LC_ALL=C comm -13 <(echo "$before") <(echo "$after"))
  [[ -z $left ]] || fail "left in the root after the purge: $(head -20 <<<"$left" | tr '\n' ';')"
  left=$(LC_ALL=C comm -23 <(echo "$before") <(echo "$after") | grep -vxF -e "${unowned:-//}" || true)
  [[ -z $left ]] || fail "removed or changed in the root by install and purge: $(head -20 <<<"$left" | tr '\n' ';')"
  [[ -z $unowned ]] || echo "note: dpkg takes empty folders that no package owns away with the package: ${unowned//$'\n'/;}"
  left=$(in_root "$root" dpkg --verify 2>&1 || true)
  [[ -z $left ]] || fail "installed packages' files were changed: $left"
  left=$(in_root "$root" dpkg --audit 2>&1 || true)
  [[ -z $left ]] || fail "dpkg --audit: $left"
}

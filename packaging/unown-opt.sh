#!/bin/sh
# Takes the entry of /opt itself out of a Debian package's data archive:
#   unown-opt.sh PACKAGE.deb
# dpkg counts every folder a package lists as the package's own and, on purge, removes
# such a folder when it is empty and no other package lists it. base-files makes /opt
# on every Debian system without listing it, so a package listing /opt would take it
# away. The archive is written anew from its own entries, in their order, with their
# modes, owners and times; everything else in the package stays byte for byte.
set -eu
deb=$(realpath "$1")
work=$(mktemp -d "${TMPDIR:-/tmp}/ovra-unown-opt.XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
ar x "$deb"
data=$(ls data.tar.*)
gzip -dc "$data" >data.tar
mkdir tree
tar -xpf data.tar -C tree --numeric-owner
tar -tf data.tar | grep -vx './opt/' >entries
tar -cf - -C tree --no-recursion --owner=root:0 --group=root:0 --format=gnu -T entries |
  gzip -9n >"$data"
rm -f "$deb"
ar rcD "$deb" debian-binary "$(ls control.tar.*)" "$data"

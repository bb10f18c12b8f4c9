#!/usr/bin/env bash
# Installs a built scrivex package into a clean Debian 12 chroot with apt, so
# that its dependencies come from Debian's mirror alone, then converts as an
# ordinary user: a PDF to TIFF and a text file to PDF, checking both outputs.
# Last, a run as root and the package's removal, which must take the program
# directory along.
# Run as root on a machine that reaches the mirror; about 4 minutes and
# 1.2 GB of disk. Not part of ctest.
#
# Usage: packaging/chroot_test.sh [--keep] build/scrivex_<version>_amd64.deb
#   --keep  leave the chroot in place (its path is printed) instead of removing it
# Environment: MIRROR (default http://deb.debian.org/debian).
set -euo pipefail

keep=0
if [ "${1:-}" = --keep ]; then
  keep=1
  shift
fi
if [ $# -ne 1 ] || [ ! -f "$1" ]; then
  echo "usage: $0 [--keep] scrivex_<version>_<arch>.deb" >&2
  exit 2
fi
deb=$(readlink -f "$1")
mirror=${MIRROR:-http://deb.debian.org/debian}
if [ "$(id -u)" -ne 0 ]; then
  echo "chroot_test: must run as root (debootstrap, mounts, chroot)" >&2
  exit 2
fi
if ! command -v debootstrap >/dev/null; then
  apt-get install -y -qq debootstrap >/dev/null
fi

root=$(mktemp -d /var/tmp/scrivex-chroot.XXXXXX)
# It becomes /: its users and apt's own account must get in.
chmod 755 "$root"
mounted=()
cleanup() {
  local m
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    m=${mounted[i]}
    umount -R "$m" 2>/dev/null || umount -R -l "$m" 2>/dev/null || true
  done
  if [ "$keep" -eq 1 ]; then
    echo "chroot_test: the chroot stays in $root"
  else
    # Only once nothing is mounted below it any more.
    grep -q " $root/" /proc/self/mounts || rm -rf "$root"
  fi
}
trap cleanup EXIT

step() { echo "chroot_test: $*"; }
in_root() { chroot "$root" /usr/bin/env -i PATH=/usr/sbin:/usr/bin:/sbin:/bin LANG=C.UTF-8 "$@"; }

step "debootstrap bookworm into $root"
debootstrap --variant=minbase bookworm "$root" "$mirror" >"$root.debootstrap.log" 2>&1 || {
  tail -20 "$root.debootstrap.log" >&2
  exit 1
}
rm -f "$root.debootstrap.log"

# The host's /dev and /sys, with unmounts kept from reaching the host's own.
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
for d in dev sys; do
  mount --rbind "/$d" "$root/$d" && mount --make-rslave "$root/$d" && mounted+=("$root/$d")
done
# No service starts inside.
printf '#!/bin/sh\nexit 101\n' >"$root/usr/sbin/policy-rc.d"
chmod 755 "$root/usr/sbin/policy-rc.d"
cat >"$root/etc/apt/sources.list" <<EOF
deb $mirror bookworm main
deb $mirror bookworm-updates main
deb http://security.debian.org/debian-security bookworm-security main
EOF

step "apt-get install $(basename "$deb") and its dependencies"
cp "$deb" "$root/tmp/"
in_root apt-get update -qq
# The tools that check the outputs are the test's, not the package's.
in_root env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
  "/tmp/$(basename "$deb")" poppler-utils libtiff-tools file >"$root/tmp/apt.log" 2>&1 || {
  tail -30 "$root/tmp/apt.log" >&2
  exit 1
}
step "installed: scrivex $(in_root dpkg-query -W -f='${Version}' scrivex)," \
  "Installed-Size $(in_root dpkg-query -W -f='${Installed-Size}' scrivex) KiB," \
  "/usr/lib/scrivex $(du -sh "$root/usr/lib/scrivex" | cut -f1)"

in_root useradd -m -s /bin/bash tester
cat >"$root/home/tester/convert.sh" <<'EOF'
set -eu
cd "$HOME"
gs -q -sDEVICE=pdfwrite -o in.pdf -c "/Helvetica findfont 24 scalefont setfont \
  72 700 moveto (First page) show showpage 72 700 moveto (Second page) show showpage"
printf 'Notes from the chroot test\nsecond line\n' >notes.txt
failed=0
check() {
  if eval "$2"; then echo "ok: $1"; else echo "FAILED: $1"; failed=1; fi
}
scrivex -i in.pdf -o out.tif -b 1 -c 4 >tif.log 2>&1 || true
cat tif.log
check "PDF to TIFF: two Group 4 pages" \
  '[ "$(tiffinfo out.tif 2>/dev/null | grep -c "Compression Scheme: CCITT Group 4")" = 2 ] &&
   grep -q "result = Successful" tif.log'
scrivex -i notes.txt -o notes.pdf >pdf.log 2>&1 || true
cat pdf.log
check "text to PDF: a PDF holding the text" \
  'file -b notes.pdf | grep -q "^PDF document" &&
   pdftotext notes.pdf - | grep -q "Notes from the chroot test" && grep -q "result = Successful" pdf.log'
exit $failed
EOF
in_root chown -R tester:tester /home/tester
step "converting as the user tester"
in_root runuser -l tester -c 'bash ~/convert.sh'

# A run as root caches its font maps in the program directory; removing the
# package takes them, and the folder, along.
step "converting as root, then removing the package"
in_root sh -c 'cd /root && scrivex -i /home/tester/in.pdf -o in.png >/dev/null 2>&1' || true
[ -d "$root/usr/lib/scrivex/fontmap" ] || echo "chroot_test: note: the run as root cached no font map"
in_root env DEBIAN_FRONTEND=noninteractive apt-get remove -y -qq scrivex >/dev/null
if [ -e "$root/usr/lib/scrivex" ]; then
  echo "FAILED: /usr/lib/scrivex is left after removing the package:" >&2
  find "$root/usr/lib/scrivex" | head >&2
  exit 1
fi
echo "ok: removing the package leaves no /usr/lib/scrivex"
step "all checks passed"

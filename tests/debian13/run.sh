#!/usr/bin/env bash
# The README's quick test command and the receiver page's tests on Debian 13,
# in a minimal root made afresh from the Debian archive, on a clone of the
# committed tree (HEAD) and in a clean environment. Nothing is kept from an
# earlier run, so a package missing from scripts/install-deps.sh fails here.
# There too: the tree is as clang-format lays it out, and scripts/run.sh opens
# the window (screenshot debian13-window.png in SCREENSHOT-FOLDER).
#
#   tests/debian13/run.sh [SCREENSHOT-FOLDER]   (default build/artifacts)
#
# Needs root, or sudo, for mmdebstrap and chroot. Everything lives in
# build/debian13/, whose root is removed again when all passed.
set -euo pipefail
if [ "$(id -u)" -ne 0 ]; then
  exec sudo "$(realpath "$0")" "$@"
fi
shots=$(realpath -m "${1:-build/artifacts}")
cd "$(dirname "$0")/../.."
work=$(realpath -m build/debian13)
root=$work/root
mkdir -p "$shots" "$work"
started=$SECONDS
# Wall time, and the processor time of every finished child, which the load of
# a shared machine does not stretch.
say() {
  echo "debian13: $* ($((SECONDS - started)) s, $(awk '{print int(($16 + $17) / 100)}' /proc/$$/stat) s of CPU)"
}

# Ends what still runs inside the root (Xvfb, a browser), then unmounts, so
# that the root can go.
release_root() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && kill -9 "${p#/proc/}" 2>/dev/null
  done
  findmnt -rn -o TARGET | awk -v r="$root/" 'index($0, r) == 1' | sort -r |
    while read -r m; do umount -l "$m"; done
}
trap release_root EXIT
trap 'exit 1' INT TERM
release_root
rm -rf --one-file-system "$root"

say "making a minimal Debian 13 root"
mmdebstrap --quiet --variant=minbase --include=git,ca-certificates trixie "$root" \
  >"$work/mmdebstrap.log" 2>&1 || { cat "$work/mmdebstrap.log" >&2; exit 1; }
# apt inside the root needs the host's name server.
cp -L /etc/resolv.conf "$root/etc/resolv.conf"
# The root reaches the network as the host does, so it trusts the authorities
# the host was given beyond Debian's own (a proxy's, say): npm needs them.
if compgen -G "/usr/local/share/ca-certificates/*.crt" >/dev/null; then
  cp /usr/local/share/ca-certificates/*.crt "$root/usr/local/share/ca-certificates/"
  chroot "$root" update-ca-certificates >/dev/null 2>&1
fi
mount -t proc proc "$root/proc"
# The file tests read a /sys file, which the system makes up as it is read.
mount -t sysfs -o ro,nosuid,nodev,noexec sysfs "$root/sys"
# Chromium keeps its shared memory in /dev/shm.
mount -t tmpfs -o mode=1777,nosuid,nodev shm "$root/dev/shm"
mount -t devpts -o newinstance,ptmxmode=0666 devpts "$root/dev/pts"
mount --bind "$root/dev/pts/ptmx" "$root/dev/ptmx"

# Under sudo the checkout belongs to someone else, which git would refuse.
head=$(git -c safe.directory='*' rev-parse HEAD)
say "cloning ${head:0:7} into it"
git -c safe.directory='*' clone -q --no-checkout "$PWD" "$root/root/hushnote"
git -C "$root/root/hushnote" checkout -q --detach "$head"

cat >"$root/root/session.sh" <<'EOF'
# Runs scripts/run.sh under xvfb-run, waits for the main window and takes a
# screenshot of the screen: $1.
scripts/run.sh >/root/run.log 2>&1 &
pid=$!
status=0
scripts/await-window.sh "$pid" >/dev/null || status=1
import -window root "$1" || status=1
kill "$pid" 2>/dev/null
wait "$pid" 2>/dev/null
[ "$status" -eq 0 ] || { echo "scripts/run.sh opened no window" >&2; cat /root/run.log >&2; }
exit "$status"
EOF

# Each step a fresh login's environment, nothing of this one.
in_root() {
  timeout 2400 chroot "$root" env -i HOME=/root PATH=/usr/sbin:/usr/bin:/sbin:/bin \
    bash -c "cd /root/hushnote && $1"
}
say "scripts/test.sh --quick"
in_root "scripts/test.sh --quick"
say "scripts/install-deps.sh again, with nothing left to install"
in_root 'out=$(scripts/install-deps.sh 2>&1) && [ -z "$out" ] || { echo "$out"; exit 1; }'
say "the tree as clang-format lays it out"
in_root "scripts/format.sh --check"
say "tests/web/run.sh"
in_root "tests/web/run.sh"
say "scripts/run.sh under Xvfb"
in_root "timeout 120 xvfb-run -a -s '-screen 0 1024x768x24' bash /root/session.sh /root/window.png"
cp "$root/root/window.png" "$shots/debian13-window.png"
say "all passed; screenshot: $shots/debian13-window.png"
release_root
rm -rf --one-file-system "$root"

#!/usr/bin/env bash
# Runs the project's CI as a new machine would: a minimal Debian 12 root made
# with debootstrap, a clean clone of this repository's HEAD (committed work
# only), and `CI=true bash .ci/run` in it, as root, with LANG=C.UTF-8 and no
# standard input, RUNS times in a row (default 2: the first run installs into
# a bare root, the second finds it used). A green run on a developer's machine
# can hide a missing install step; this cannot.
#
# Needs root and debootstrap. The root is made under /var/tmp and removed at
# the end unless --keep is given; --root DIR reuses a root made before.
#
#   tools/fresh-root-check.sh [--runs N] [--keep] [--root DIR]
set -euo pipefail

runs=2
keep=0
root=
while [ $# -gt 0 ]; do
  case "$1" in
    --runs) runs=$2; shift 2 ;;
    --keep) keep=1; shift ;;
    --root) root=$2; keep=1; shift 2 ;;
    *) echo "usage: $0 [--runs N] [--keep] [--root DIR]" >&2; exit 2 ;;
  esac
done
[ "$(id -u)" -eq 0 ] || { echo "$0: needs root (debootstrap, chroot, mounts)" >&2; exit 2; }
command -v debootstrap >/dev/null ||
  { echo "$0: needs debootstrap (apt-get install debootstrap)" >&2; exit 2; }

repo=$(git -C "$(dirname "$0")/.." rev-parse --show-toplevel)
if [ -z "$root" ]; then
  root=$(mktemp -d /var/tmp/qm482-root.XXXXXX)
  # mktemp makes it 0700: as the root's "/", that would lock out the
  # suites and journeys that run as a user who is not root.
  chmod 755 "$root"
fi
mounted=()

in_root_processes() {
  local p
  for p in /proc/[0-9]*; do
    [ "$(readlink "$p/root" 2>/dev/null)" = "$root" ] && echo "${p#/proc/}"
  done
  return 0
}

cleanup() {
  # What a run left behind (a bus daemon, a virtual screen) holds the mounts.
  local pids
  pids=$(in_root_processes)
  [ -n "$pids" ] && kill -KILL $pids 2>/dev/null
  local i
  for ((i = ${#mounted[@]} - 1; i >= 0; i--)); do
    umount -l "${mounted[i]}" 2>/dev/null || true
  done
  if [ "$keep" = 0 ]; then
    rm -rf --one-file-system "$root"
  else
    echo "the root stays in $root"
  fi
}
trap cleanup EXIT

if [ ! -x "$root/bin/bash" ]; then
  echo "making a Debian 12 root in $root"
  debootstrap --variant=minbase bookworm "$root" >"$root.debootstrap.log" 2>&1 ||
    { tail -20 "$root.debootstrap.log"; echo "debootstrap failed" >&2; exit 1; }
  rm -f "$root.debootstrap.log"
fi
# The package sources and apt settings this machine uses, so the root
# installs from where the machine does.
cp -a /etc/apt/sources.list.d/. "$root/etc/apt/sources.list.d/" 2>/dev/null || true
[ -f /etc/apt/sources.list ] && cp /etc/apt/sources.list "$root/etc/apt/sources.list"
[ -n "$(ls /etc/apt/sources.list.d/ 2>/dev/null)" ] && [ ! -f /etc/apt/sources.list ] &&
  rm -f "$root/etc/apt/sources.list"
cp -a /etc/apt/apt.conf.d/. "$root/etc/apt/apt.conf.d/"
cp /etc/resolv.conf "$root/etc/resolv.conf" 2>/dev/null || true

for m in proc sys dev dev/pts; do
  mkdir -p "$root/$m"
done
mount -t proc proc "$root/proc" && mounted+=("$root/proc")
mount --rbind /sys "$root/sys" && mounted+=("$root/sys")
mount --rbind /dev "$root/dev" && mounted+=("$root/dev")

# The clean clone CI makes, with the shared folder beside it when there is one.
rm -rf "$root/ci"
mkdir -p "$root/ci"
git clone -q "$repo" "$root/ci/main"
[ -d "$repo/../shared" ] && cp -r "$repo/../shared" "$root/ci/shared"

chroot_run() {
  chroot "$root" /usr/bin/env -i HOME=/root LANG=C.UTF-8 TERM=dumb \
    PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin "$@" </dev/null
}
# A bare root has no git, which a new machine has: the clone above was made
# from outside, the check needs git inside.
chroot_run bash -c 'command -v git >/dev/null || {
  apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq \
    --no-install-recommends git ca-certificates >/dev/null; }'

status=0
for run in $(seq "$runs"); do
  echo "run $run of $runs: CI=true bash .ci/run in a fresh clone"
  start=$(date +%s)
  log="$repo/build/fresh-root-run$run.log"
  mkdir -p "$repo/build"
  if chroot_run CI=true bash -c 'cd /ci/main && bash .ci/run' >"$log" 2>&1; then
    echo "run $run passed in $(($(date +%s) - start)) s (log: $log)"
  else
    echo "run $run FAILED after $(($(date +%s) - start)) s; the end of $log:"
    tail -40 "$log"
    # The journeys' pictures show what went wrong on the screen.
    if [ -d "$root/ci/main/build/journeys" ]; then
      rm -rf "$repo/build/fresh-root-run$run-journeys"
      cp -r "$root/ci/main/build/journeys" "$repo/build/fresh-root-run$run-journeys"
      echo "its journeys' pictures: $repo/build/fresh-root-run$run-journeys"
    fi
    status=1
  fi
  # The next run starts from a clean clone again, on the now used root.
  rm -rf "$root/ci/main"
  git clone -q "$repo" "$root/ci/main"
done
exit $status

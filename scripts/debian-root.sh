# Roots of Debian releases, sourced by scripts/release-test and scripts/check-package (needs root
# and debootstrap). A release's minimal root is made once with debootstrap and kept, untouched,
# in build/debian/<suite>/base; each use lays a writable layer over it (overlayfs) and mounts
# what programs inside expect. Mount only inside a mount namespace of the caller's own
# (unshare -m): everything mounted then goes when the caller ends, however it ends.

repository="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
debian_mirror="${HOURLOOM_DEBIAN_MIRROR:-http://deb.debian.org/debian}"

# build/debian/SUITE, where everything kept for the release lives.
debian_dir() { echo "$repository/build/debian/$1"; }

# Makes the release's minimal root unless it is there already.
debian_base() {
  local suite="$1" dir
  dir="$(debian_dir "$suite")"
  [ -e "$dir/base/etc/os-release" ] && return 0
  command -v debootstrap >/dev/null || { echo "debootstrap is not installed (scripts/bootstrap installs it)" >&2; return 1; }
  # A suite newer than this debootstrap (Debian testing's next name) is made like unstable.
  local script="/usr/share/debootstrap/scripts/$suite"
  [ -e "$script" ] || script=/usr/share/debootstrap/scripts/sid
  mkdir -p "$dir"
  rm -rf "$dir/base.partial"
  echo "Making a minimal Debian $suite root in $dir/base (debootstrap, from $debian_mirror)"
  if ! debootstrap --variant=minbase "$suite" "$dir/base.partial" "$debian_mirror" "$script" >"$dir/debootstrap.log" 2>&1; then
    tail -n 20 "$dir/debootstrap.log" >&2
    return 1
  fi
  rm -f "$dir/base.partial"/var/cache/apt/archives/*.deb
  mv "$dir/base.partial" "$dir/base"
}

# Mounts at TARGET the root of BASE with its changes kept in LAYER, the kernel's file systems,
# a private /tmp and /run, and the host's name resolution. Services never start inside.
mount_root() {
  local base="$1" layer="$2" target="$3"
  mkdir -p "$layer/changes" "$layer/work" "$target"
  mount -t overlay overlay -o "lowerdir=$base,upperdir=$layer/changes,workdir=$layer/work" "$target"
  mount -t proc proc "$target/proc"
  mount --rbind /sys "$target/sys"
  mount --bind /dev "$target/dev"
  mount --bind /dev/pts "$target/dev/pts"
  mount --bind /dev/shm "$target/dev/shm"
  mount -t tmpfs -o mode=1777 tmpfs "$target/tmp"
  # Made by systemd-tmpfiles on a booted system; KWin 6.7 starts no Xwayland without it.
  mkdir -m 1777 "$target/tmp/.X11-unix"
  mount -t tmpfs -o mode=755 tmpfs "$target/run"
  cp /etc/resolv.conf "$target/etc/resolv.conf"
  # A frozen mirror (a snapshot, or a registry that keeps one) serves the testing suite's Release
  # file past its Valid-Until date. The roots fetch from where the host does; where the host's apt
  # accepts such a file, so do theirs.
  local valid_until=""
  command -v apt-config >/dev/null && eval "$(apt-config shell valid_until Acquire::Check-Valid-Until)"
  if [ "$valid_until" = false ]; then
    echo 'Acquire::Check-Valid-Until "false";' >"$target/etc/apt/apt.conf.d/99hourloom-host-valid-until"
  fi
  printf '#!/bin/sh\nexit 101\n' >"$target/usr/sbin/policy-rc.d"
  chmod 755 "$target/usr/sbin/policy-rc.d"
}

# Makes the host's folder visible at the same path inside the root.
bind_into_root() {
  local target="$1" folder="$2"
  mkdir -p "$target$folder"
  mount --bind "$folder" "$target$folder"
}

# Runs a command in the root, in FOLDER, with a root's plain environment and the NAME=VALUE
# pairs of the array root_environment.
root_environment=()
in_root() {
  local target="$1" folder="$2"
  shift 2
  chroot "$target" /usr/bin/env -i PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin HOME=/root \
    "${root_environment[@]}" /bin/sh -c 'cd "$0" && exec "$@"' "$folder" "$@"
}

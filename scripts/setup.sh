#!/usr/bin/env bash
# Installs what the builds, tests and demos need on Debian 12, then says what it did.
# Idempotent: when every package is there it installs nothing and only says so.
set -euo pipefail

packages=(
  # build
  cmake ninja-build pkg-config g++ clang-14 libclang-rt-14-dev
  mingw-w64 mingw-w64-tools libwine-dev
  # native libraries
  libgtest-dev googletest libbenchmark-dev libsndfile1-dev
  # running Windows code
  wine wine32:i386 wine64 xvfb xauth
  # sound input for the card-swipe tests and demo
  pulseaudio pulseaudio-utils
  # independent checks in tests
  python3
)

if [ "$(id -u)" -ne 0 ]; then
  echo "setup: run as root (it installs Debian packages)" >&2
  exit 1
fi

if ! dpkg --print-foreign-architectures | grep -qx i386; then
  echo "setup: adding the i386 architecture (for 32-bit Wine)"
  dpkg --add-architecture i386
  need_update=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  echo "setup: all ${#packages[@]} packages are installed; nothing to do"
  exit 0
fi

echo "setup: installing ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq "${missing[@]}" >/dev/null
echo "setup: done"

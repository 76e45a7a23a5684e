#!/usr/bin/env bash
# Set-up, build and run in one go on a Debian machine.
#   scripts/dev.sh scan   build the agent and scan this machine with the example settings
#   scripts/dev.sh test   build everything and run every test
set -euo pipefail
cd "$(dirname "$0")/.."

# What the build and the tests need from Debian.
packages=(cmake g++ make libgtest-dev libgmock-dev libxml2-utils openssl libssl3 libssl-dev
          dpkg-dev rpm systemd man-db groff-base)

install_missing() {
  local missing=()
  for pkg in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
}

build() {
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
  cmake --build build -j2
}

case "${1:-}" in
  scan)
    install_missing
    build
    # Run as root to see every file; the settings beside the executable are used.
    build/scanunix
    ;;
  test)
    install_missing
    build
    ctest --test-dir build --output-on-failure
    ;;
  *)
    echo "usage: $0 scan|test" >&2
    exit 2
    ;;
esac

#!/usr/bin/env bash
# Set-up, build and run in one go on a Debian machine.
#   scripts/dev.sh scan          build the agent and scan this machine with the example settings
#   scripts/dev.sh test          build everything and run every test
#   scripts/dev.sh cross-arm64   cross-build for 64-bit ARM into build-arm64/ and run the
#                                unit and package tests under qemu-aarch64
set -euo pipefail
cd "$(dirname "$0")/.."

# What the build and the tests need from Debian.
packages=(cmake g++ make libgtest-dev libgmock-dev libxml2-utils openssl libssl3
          dpkg-dev rpm systemd man-db groff-base lintian rpmlint)
# The cross build: compiler and emulator, and arm64 libraries from multiarch
# for the TLS tests (libssl3) and for the .deb's dependencies (libstdc++6).
cross_packages=(g++-aarch64-linux-gnu libc6-dev-arm64-cross qemu-user
                libssl3:arm64 libstdc++6:arm64)

install_missing() {  # install_missing PACKAGE...
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  if [[ " ${missing[*]}" == *:arm64* ]] && ! dpkg --print-foreign-architectures | grep -qx arm64; then
    "${sudo[@]}" dpkg --add-architecture arm64
  fi
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
}

build() {
  cmake -S . -B build -DCMAKE_BUILD_TYPE=Release
  cmake --build build -j2
}

# GoogleTest for the target, built once from the sources libgtest-dev ships.
# The end-to-end tests are left out: they start the agent as a child process.
cross_arm64() {
  local toolchain=$PWD/cmake/aarch64-linux-gnu.cmake gtest=$PWD/build-arm64-gtest
  if [ ! -f "$gtest/lib/cmake/GTest/GTestConfig.cmake" ]; then
    cmake -S /usr/src/googletest -B "$gtest/build" -DCMAKE_TOOLCHAIN_FILE="$toolchain" \
      -DCMAKE_BUILD_TYPE=Release -DBUILD_GMOCK=OFF -DCMAKE_INSTALL_PREFIX="$gtest"
    cmake --build "$gtest/build" -j2
    cmake --install "$gtest/build"
  fi
  cmake -S . -B build-arm64 -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DSCANUNIX_E2E=OFF -DGTest_DIR="$gtest/lib/cmake/GTest"
  cmake --build build-arm64 -j2
  ctest --test-dir build-arm64 --output-on-failure
}

case "${1:-}" in
  scan)
    install_missing "${packages[@]}"
    build
    # Run as root to see every file; the settings beside the executable are used.
    build/scanunix
    ;;
  test)
    install_missing "${packages[@]}"
    build
    ctest --test-dir build --output-on-failure
    ;;
  cross-arm64)
    install_missing "${packages[@]}" "${cross_packages[@]}"
    cross_arm64
    ;;
  *)
    echo "usage: $0 scan|test|cross-arm64" >&2
    exit 2
    ;;
esac

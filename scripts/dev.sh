#!/usr/bin/env bash
# Set-up, build and run in one go on a Debian machine.
#   scripts/dev.sh scan            build the agent and scan this machine with the example settings
#   scripts/dev.sh test            build everything and run every test (warnings are errors)
#   scripts/dev.sh sanitize        the same with AddressSanitizer and UndefinedBehaviorSanitizer
#   scripts/dev.sh fuzz [seconds]  run every fuzz target over its corpus, then that long each (30)
#   scripts/dev.sh cross-arm64     cross-build for 64-bit ARM into build-arm64/ and run the
#                                  unit and package tests under qemu-aarch64
#   scripts/dev.sh ci              what CI runs: test, sanitize, fuzz 30, cross-arm64
set -euo pipefail
cd "$(dirname "$0")/.."

# What the build and the tests need from Debian.
packages=(cmake g++ make libgtest-dev libgmock-dev libxml2-utils openssl libssl3 libssl-dev
          dpkg-dev rpm systemd man-db groff-base lintian rpmlint libfuse3-dev fuse3
          # the service's hardening, its metrics and the Ansible role
          strace prometheus-node-exporter ansible-core ansible-lint python3-apt tinyproxy)
fuzz_packages=(clang libclang-rt-14-dev)
# The cross build: compiler and emulator, and arm64 libraries from multiarch
# for the TLS tests (libssl3, and libssl-dev for their server) and for the
# .deb's dependencies (libstdc++6).
cross_packages=(g++-aarch64-linux-gnu libc6-dev-arm64-cross qemu-user
                libssl3:arm64 libssl-dev:arm64 libstdc++6:arm64)

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

build() {  # build DIR [CMAKE OPTION...]
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DSCANUNIX_WERROR=ON "$@"
  cmake --build "$dir" -j2
}

run_tests() {
  ctest --test-dir "$1" --output-on-failure
}

sanitize() {
  # GCC 12 warns of uninitialized values inside <regex> and <functional> that
  # are not there, but only with the sanitizers (GCC bug 105562).
  local flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
  flags+=" -Wno-maybe-uninitialized"
  build build-sanitize -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
    -DCMAKE_EXE_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_SHARED_LINKER_FLAGS="-fsanitize=address,undefined" \
    -DCMAKE_MODULE_LINKER_FLAGS="-fsanitize=address,undefined"
  # A finding ends the process with a status no test expects; the agent the
  # end-to-end tests start is instrumented the same way.
  ASAN_OPTIONS=exitcode=86:detect_leaks=1 LSAN_OPTIONS=exitcode=86 \
    UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1:exitcode=86 run_tests build-sanitize
}

fuzz() {  # fuzz SECONDS
  CC=clang CXX=clang++ build build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DSCANUNIX_FUZZ=ON \
    -DSCANUNIX_TESTS=OFF
  fuzz_work=$(mktemp -d)
  trap 'rm -rf "$fuzz_work"' EXIT
  mkdir -p build-fuzz/crashes
  # Two targets at a time; each reads its seeds, then fuzzes for the time given.
  # A crash leaves its input in build-fuzz/crashes/ and fails the run.
  ls fuzz/corpus | xargs -P 2 -I{} sh -c '
    mkdir -p "$1/{}"
    build-fuzz/fuzz/{} -max_total_time="$2" -timeout=10 -rss_limit_mb=2048 -print_final_stats=0 \
      -artifact_prefix=build-fuzz/crashes/{}- "$1/{}" fuzz/corpus/{} >"$1/{}.log" 2>&1 ||
      { echo "FAIL: {}"; tail -n 40 "$1/{}.log"; exit 1; }
    echo "ok: {}"' _ "$fuzz_work" "$1"
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
  # The tests' TLS server links the target's OpenSSL from multiarch. Its
  # headers are split between /usr/include and the arm64 folder, and putting
  # /usr/include itself on the path would hide the cross libc's: gather
  # just the OpenSSL headers in one folder.
  local ssl=$PWD/build-arm64-ssl multiarch=/usr/lib/aarch64-linux-gnu
  mkdir -p "$ssl/include/openssl"
  ln -sf /usr/include/openssl/* /usr/include/aarch64-linux-gnu/openssl/* "$ssl/include/openssl/"
  build build-arm64 -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DSCANUNIX_E2E=OFF \
    -DGTest_DIR="$gtest/lib/cmake/GTest" -DOPENSSL_INCLUDE_DIR="$ssl/include" \
    -DOPENSSL_SSL_LIBRARY="$multiarch/libssl.so" -DOPENSSL_CRYPTO_LIBRARY="$multiarch/libcrypto.so" \
    -DCMAKE_EXE_LINKER_FLAGS="-Wl,-rpath-link=$multiarch"
  run_tests build-arm64
}

case "${1:-}" in
  scan)
    install_missing "${packages[@]}"
    build build
    # Run as root to see every file; the settings beside the executable are used.
    build/scanunix
    ;;
  test)
    install_missing "${packages[@]}"
    build build
    run_tests build
    ;;
  sanitize)
    install_missing "${packages[@]}"
    sanitize
    ;;
  fuzz)
    install_missing "${packages[@]}" "${fuzz_packages[@]}"
    fuzz "${2:-30}"
    ;;
  cross-arm64)
    install_missing "${packages[@]}" "${cross_packages[@]}"
    cross_arm64
    ;;
  ci)
    install_missing "${packages[@]}" "${fuzz_packages[@]}" "${cross_packages[@]}"
    build build
    run_tests build
    sanitize
    fuzz 30
    cross_arm64
    ;;
  *)
    echo "usage: $0 scan|test|sanitize|fuzz [seconds]|cross-arm64|ci" >&2
    exit 2
    ;;
esac

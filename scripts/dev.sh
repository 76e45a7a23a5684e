#!/usr/bin/env bash
# Set-up, build and run in one go on a Debian machine.
#   scripts/dev.sh scan              build the agent and scan this machine with the example settings
#   scripts/dev.sh test              build everything and run every test (warnings are errors)
#   scripts/dev.sh sanitize          the same with AddressSanitizer and UndefinedBehaviorSanitizer
#   scripts/dev.sh fuzz [seconds]    run every fuzz target over its corpus, then that long each (30)
#   scripts/dev.sh ci                what CI runs: test, sanitize, fuzz 30
set -euo pipefail
cd "$(dirname "$0")/.."

# What the build and the tests need from Debian.
packages=(cmake g++ make libgtest-dev libgmock-dev libxml2-utils openssl libssl3 libssl-dev
          dpkg-dev rpm systemd man-db groff-base)
fuzz_packages=(clang libclang-rt-14-dev)

install_missing() {
  local missing=()
  for pkg in "$@"; do
    dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null | grep -q 'ok installed' || missing+=("$pkg")
  done
  [ ${#missing[@]} -eq 0 ] && return
  local sudo=()
  [ "$(id -u)" -eq 0 ] || sudo=(sudo)
  export DEBIAN_FRONTEND=noninteractive
  "${sudo[@]}" apt-get update -qq
  "${sudo[@]}" apt-get install -y -qq "${missing[@]}"
}

# build DIR [cmake options...]
build() {
  local dir=$1
  shift
  cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=Release -DSCANUNIX_WERROR=ON "$@"
  cmake --build "$dir" -j2
}

run_tests() {
  ctest --test-dir "$1" --output-on-failure
}

sanitize() {
  local flags="-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"
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

fuzz() {
  local seconds=${1:-30}
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
    echo "ok: {}"' _ "$fuzz_work" "$seconds"
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
  ci)
    install_missing "${packages[@]}" "${fuzz_packages[@]}"
    build build
    run_tests build
    sanitize
    fuzz 30
    ;;
  *)
    echo "usage: $0 scan|test|sanitize|fuzz [seconds]|ci" >&2
    exit 2
    ;;
esac

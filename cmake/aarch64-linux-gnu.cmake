# 64-bit ARM with Debian's cross compiler (g++-aarch64-linux-gnu,
# libc6-dev-arm64-cross). Target binaries, test discovery included, run
# under qemu-aarch64 against the cross libraries.
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)
set(CMAKE_C_COMPILER aarch64-linux-gnu-gcc)
set(CMAKE_CXX_COMPILER aarch64-linux-gnu-g++)

set(CMAKE_FIND_ROOT_PATH /usr/aarch64-linux-gnu)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

find_program(SCANUNIX_QEMU NAMES qemu-aarch64 qemu-aarch64-static)
if(SCANUNIX_QEMU)
  # The library path keeps the cross libc ahead of a multiarch libc6:arm64
  # (pulled in by libssl3:arm64 for the TLS tests): the cross loader with
  # another build's libc hangs on the first thread.
  set(CMAKE_CROSSCOMPILING_EMULATOR ${SCANUNIX_QEMU} -L /usr/aarch64-linux-gnu
      -E LD_LIBRARY_PATH=/usr/aarch64-linux-gnu/lib)
endif()

# Cross-builds for 64-bit ARM Linux with Debian's aarch64-linux-gnu compilers, against the arm64
# libraries multiarch installs beside the build machine's own (dpkg --add-architecture arm64).
set(CMAKE_SYSTEM_NAME Linux)
set(CMAKE_SYSTEM_PROCESSOR aarch64)

set(_triplet aarch64-linux-gnu)
set(CMAKE_C_COMPILER ${_triplet}-gcc)
set(CMAKE_CXX_COMPILER ${_triplet}-g++)
set(CMAKE_LIBRARY_ARCHITECTURE ${_triplet})
# pkgconf's cross personality reads only the target's .pc files.
set(PKG_CONFIG_EXECUTABLE ${_triplet}-pkg-config CACHE FILEPATH "pkg-config for the target")

# Headers and CMake packages of the target live in the multiarch folders under /usr, and the
# cross compiler's own runtime under /usr/aarch64-linux-gnu; programs are the build machine's.
set(CMAKE_FIND_ROOT_PATH /usr/${_triplet} /)
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Test programs and build steps that run a target binary go through qemu's user mode. It takes
# the loader from the arm64 libc multiarch installs, not the cross compiler's copy under
# /usr/aarch64-linux-gnu (-L): the libraries come from multiarch, and a loader of another libc
# build than the libc.so it loads hangs in the first thread's creation.
find_program(GRAVELIX_QEMU_AARCH64 qemu-aarch64)
if(GRAVELIX_QEMU_AARCH64)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${GRAVELIX_QEMU_AARCH64})
endif()

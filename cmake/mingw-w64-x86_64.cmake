# Cross-builds the 64-bit Windows plug-in and tools with Debian's mingw-w64. The posix thread
# model is needed for std::thread (GoogleTest, the validator's threads).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(_mingw x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${_mingw}-gcc-posix)
set(CMAKE_CXX_COMPILER ${_mingw}-g++-posix)
set(CMAKE_RC_COMPILER ${_mingw}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${_mingw})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Everything runs under Wine: ctest starts each test program through it.
find_program(GRAVELIX_WINE wine)
if(GRAVELIX_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${GRAVELIX_WINE})
endif()

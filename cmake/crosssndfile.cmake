# libsndfile for the cross build: Debian has no mingw build of it, so its Debian 12 source
# package (with Debian's patches) is fetched once into the build folder and built there with the
# cross compiler, as a static library. Only the codecs libsndfile carries itself (WAV, AIFF, AU,
# CAF, W64 and the other uncompressed and ADPCM types); FLAC, Ogg and MP3 need libraries that
# have no mingw build in Debian either.
set(_sf ${CMAKE_BINARY_DIR}/_deps/sndfile)
set(GRAVELIX_SNDFILE_PREFIX ${_sf}/install CACHE PATH "libsndfile built for the target system")
if(NOT EXISTS ${GRAVELIX_SNDFILE_PREFIX}/lib/cmake/SndFile/SndFileConfig.cmake)
  message(STATUS "Fetching and cross-building libsndfile from Debian's source package")
  execute_process(COMMAND ${GRAVELIX_SOURCE_DIR}/scripts/debian-source.sh libsndfile ${_sf}/src
                  OUTPUT_VARIABLE _source OUTPUT_STRIP_TRAILING_WHITESPACE
                  RESULT_VARIABLE _status)
  if(NOT _status EQUAL 0 OR NOT EXISTS ${_source}/CMakeLists.txt)
    message(FATAL_ERROR "Could not fetch libsndfile's Debian source (scripts/debian-source.sh)")
  endif()
  # A reconfigured build folder keeps the toolchain path as it was given, possibly relative to
  # the source folder, which the nested build would not find.
  get_filename_component(_toolchain "${CMAKE_TOOLCHAIN_FILE}" ABSOLUTE BASE_DIR
                         "${GRAVELIX_SOURCE_DIR}")
  set(_steps
    "${CMAKE_COMMAND};-S;${_source};-B;${_sf}/build;-G;${CMAKE_GENERATOR}"
    "-DCMAKE_MAKE_PROGRAM=${CMAKE_MAKE_PROGRAM}"
    "-DCMAKE_TOOLCHAIN_FILE=${_toolchain};-DCMAKE_BUILD_TYPE=Release"
    "-DCMAKE_INSTALL_PREFIX=${GRAVELIX_SNDFILE_PREFIX};-DBUILD_SHARED_LIBS=OFF"
    "-DENABLE_EXTERNAL_LIBS=OFF;-DENABLE_MPEG=OFF;-DBUILD_PROGRAMS=OFF;-DBUILD_EXAMPLES=OFF"
    "-DBUILD_TESTING=OFF;-DENABLE_CPACK=OFF;-DINSTALL_PKGCONFIG_MODULE=OFF;-DINSTALL_MANPAGES=OFF")
  string(JOIN ";" _configure ${_steps})
  foreach(_step "${_configure}" "${CMAKE_COMMAND};--build;${_sf}/build;-j;2"
                "${CMAKE_COMMAND};--install;${_sf}/build")
    execute_process(COMMAND ${_step} OUTPUT_QUIET RESULT_VARIABLE _status)
    if(NOT _status EQUAL 0)
      message(FATAL_ERROR "Building libsndfile for the target failed: ${_step}")
    endif()
  endforeach()
endif()
find_package(SndFile CONFIG REQUIRED PATHS ${GRAVELIX_SNDFILE_PREFIX} NO_DEFAULT_PATH
             NO_CMAKE_FIND_ROOT_PATH)

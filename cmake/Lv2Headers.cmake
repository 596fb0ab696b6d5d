# LV2's headers, used in place from Debian's lv2-dev (found through pkg-config; a cross build for
# another Linux reads the same architecture-independent headers directly). Defines
# gravelix_lv2_headers when found; the LV2 bundle is built only then, and not for Windows.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(LV2 QUIET IMPORTED_TARGET lv2)
  endif()
  if(TARGET PkgConfig::LV2)
    add_library(gravelix_lv2_headers INTERFACE)
    target_link_libraries(gravelix_lv2_headers INTERFACE PkgConfig::LV2)
  endif()
elseif(NOT WIN32)
  find_path(GRAVELIX_LV2_INCLUDE_DIR lv2/core/lv2.h PATHS /usr/include NO_CMAKE_FIND_ROOT_PATH
            DOC "Folder holding lv2/core/lv2.h (Debian: lv2-dev)")
  if(GRAVELIX_LV2_INCLUDE_DIR)
    add_library(gravelix_lv2_headers INTERFACE)
    target_include_directories(gravelix_lv2_headers SYSTEM INTERFACE ${GRAVELIX_LV2_INCLUDE_DIR})
  endif()
endif()
if(NOT TARGET gravelix_lv2_headers AND NOT WIN32)
  message(STATUS "LV2 headers not found (Debian: lv2-dev): no LV2 bundle")
endif()

# LV2's headers, used in place from Debian's lv2-dev (found through pkg-config). Defines
# gravelix_lv2_headers when found; the LV2 bundle is built only then, and only for the build
# machine's own system for now: its data files come from a program the build runs.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(PkgConfig QUIET)
  if(PkgConfig_FOUND)
    pkg_check_modules(LV2 QUIET IMPORTED_TARGET lv2)
  endif()
endif()
if(TARGET PkgConfig::LV2)
  add_library(gravelix_lv2_headers INTERFACE)
  target_link_libraries(gravelix_lv2_headers INTERFACE PkgConfig::LV2)
elseif(NOT CMAKE_CROSSCOMPILING)
  message(STATUS "LV2 headers not found (Debian: lv2-dev): no LV2 bundle")
endif()

# A cross build's programs for the build machine (cmake/buildtools), built once per build
# folder before anything runs them. Sets GRAVELIX_<TOOL>_COMMAND, the path a custom command
# runs, and GRAVELIX_<TOOL>_DEPENDS, what it depends on, for LV2TTLGEN and EMBED_RESOURCES.
include(ExternalProject)
set(_native ${CMAKE_BINARY_DIR}/buildtools)
ExternalProject_Add(gravelix_build_tools
  SOURCE_DIR ${CMAKE_CURRENT_LIST_DIR}/buildtools
  BINARY_DIR ${_native}
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER}
  INSTALL_COMMAND ""
  # Its own build decides what is out of date.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${_native}/lv2ttlgen ${_native}/gravelix_embed_resources)
foreach(_tool lv2ttlgen gravelix_embed_resources)
  string(TOUPPER ${_tool} _name)
  string(REPLACE GRAVELIX_ "" _name ${_name})
  set(GRAVELIX_${_name}_COMMAND ${_native}/${_tool})
  set(GRAVELIX_${_name}_DEPENDS gravelix_build_tools ${_native}/${_tool})
endforeach()

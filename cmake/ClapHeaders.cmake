# CLAP's headers, used in place from Debian's dpf-source (header-only, MIT), plus our declarations
# of what that copy lacks (formats/clap/clapextensions.h). Defines gravelix_clap_headers when
# found; the CLAP plug-ins and gravelix-host's CLAP hosting are built only then.
find_path(GRAVELIX_CLAP_INCLUDE_DIR clap/entry.h
          PATHS /usr/share/dpf/distrho/src NO_CMAKE_FIND_ROOT_PATH
          DOC "Folder holding clap/entry.h (Debian: dpf-source)")
if(GRAVELIX_CLAP_INCLUDE_DIR)
  add_library(gravelix_clap_headers INTERFACE)
  target_include_directories(gravelix_clap_headers SYSTEM INTERFACE ${GRAVELIX_CLAP_INCLUDE_DIR})
  target_include_directories(gravelix_clap_headers INTERFACE ${CMAKE_SOURCE_DIR}/formats/clap)
else()
  message(STATUS "CLAP headers not found (Debian: dpf-source): no CLAP plug-ins")
endif()

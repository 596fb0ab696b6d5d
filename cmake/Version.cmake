# The one version number of the project (project() sets it). The Debian package, the Windows
# archive, `gravelix-host --version` and the plug-in's vendor version all come from it.

# Hosts read the vendor version as one integer with a digit each for major, minor and patch
# (1.1.2 answers 112), so minor and patch must stay single digits.
if(PROJECT_VERSION_MINOR GREATER 9 OR PROJECT_VERSION_PATCH GREATER 9)
  message(FATAL_ERROR "Version ${PROJECT_VERSION}: minor and patch must be 0 to 9 "
                      "for the plug-in's vendor version")
endif()
math(EXPR GRAVELIX_VENDOR_VERSION
  "${PROJECT_VERSION_MAJOR} * 100 + ${PROJECT_VERSION_MINOR} * 10 + ${PROJECT_VERSION_PATCH}")

configure_file(${CMAKE_CURRENT_LIST_DIR}/gravelixversion.h.in
               ${CMAKE_BINARY_DIR}/generated/gravelixversion.h @ONLY)
add_library(gravelix_version INTERFACE)
target_include_directories(gravelix_version INTERFACE ${CMAKE_BINARY_DIR}/generated)

# Installing (`cmake --install`) and the Debian package (`cpack -G DEB`).
# Windows builds are packed by scripts/package-windows.sh instead.
if(WIN32)
  return()
endif()
include(GNUInstallDirs)

if(TARGET gravelix)
  # Linux VST 2.4 hosts search lib/vst under /usr and /usr/local (and ~/.vst), not the
  # multiarch folder GNUInstallDirs picks for /usr, so the folder is fixed here.
  install(TARGETS gravelix LIBRARY DESTINATION lib/vst)
endif()
if(TARGET gravelix-host)
  install(TARGETS gravelix-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gravelix)
set(CPACK_PACKAGE_VENDOR Keldwyn)
set(CPACK_PACKAGE_CONTACT Keldwyn)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "guitar distortion pedal as a VST 2.4 plug-in")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Gravelix is a two-knob guitar distortion pedal as a Linux VST 2.4 effect,\n"
    "with its pedal editor, installed where VST 2.4 hosts look for plug-ins\n"
    "(/usr/lib/vst/gravelix.so). gravelix-host is a command-line host that\n"
    "inspects, renders audio files through, checks and shows any VST 2.4 plug-in.")
list(JOIN CPACK_DEBIAN_PACKAGE_DESCRIPTION "" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# gravelix_<version>_<arch>.deb; dependencies come from the binaries' own libraries.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_STRIP_FILES ON)
include(CPack)

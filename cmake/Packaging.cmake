# Installing (`cmake --install`) and the Debian package (`cpack -G DEB`): the plug-in, the host
# with its manual page and bash completion, the copyright file and the changelog.
# Windows builds are packed by scripts/package-windows.sh instead.
if(WIN32)
  return()
endif()
include(GNUInstallDirs)

# The project's own contact, not a person's: the package's maintainer and the copyright file's.
set(GRAVELIX_CONTACT "Gravelix developers <gravelix@keldwyn.example>")
set(_packaging ${GRAVELIX_SOURCE_DIR}/packaging)
set(_docdir ${CMAKE_INSTALL_DATADIR}/doc/gravelix)

if(TARGET gravelix)
  # Linux VST 2.4 hosts search lib/vst under /usr and /usr/local (and ~/.vst), not the
  # multiarch folder GNUInstallDirs picks for /usr, so the folder is fixed here.
  install(TARGETS gravelix LIBRARY DESTINATION lib/vst)
endif()
if(TARGET gravelix-hq)
  install(TARGETS gravelix-hq LIBRARY DESTINATION lib/vst)
endif()

# CLAP hosts search /usr/lib/clap and ~/.clap (and CLAP_PATH).
foreach(_clap gravelix_clap gravelix_hq_clap)
  if(TARGET ${_clap})
    install(TARGETS ${_clap} LIBRARY DESTINATION lib/clap)
  endif()
endforeach()

# LV2 hosts search /usr/lib/lv2 and ~/.lv2 (and LV2_PATH) for bundles: ours is one folder with
# both pedals' libraries, their editors' UI libraries and the data files generated for them.
if(TARGET gravelix_lv2)
  install(TARGETS gravelix_lv2_plain gravelix_lv2_hq LIBRARY DESTINATION lib/lv2/gravelix.lv2)
  if(TARGET gravelix_lv2_ui_plain)
    install(TARGETS gravelix_lv2_ui_plain gravelix_lv2_ui_hq
            LIBRARY DESTINATION lib/lv2/gravelix.lv2)
  endif()
  foreach(_ttl manifest presets gravelix gravelix-hq)
    install(FILES ${CMAKE_BINARY_DIR}/gravelix.lv2/${_ttl}.ttl DESTINATION lib/lv2/gravelix.lv2)
  endforeach()
endif()

if(TARGET gravelix-host)
  install(TARGETS gravelix-host RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(FILES ${_packaging}/gravelix-host.bash-completion
          DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME gravelix-host)

  # The manual page is made from the built program's help, so it lists what the program has.
  # Sanitizer builds, which are never packaged, skip it rather than run the program to build.
  find_program(GRAVELIX_HELP2MAN help2man)
  if(GRAVELIX_HELP2MAN AND NOT GRAVELIX_SANITIZE)
    add_custom_command(
      OUTPUT gravelix-host.1 gravelix-host.1.gz
      COMMAND ${_packaging}/manpage.sh $<TARGET_FILE:gravelix-host> ${_packaging}/gravelix-host.h2m
              gravelix-host.1
      COMMAND gzip -9nf -k gravelix-host.1
      DEPENDS gravelix-host ${_packaging}/manpage.sh ${_packaging}/gravelix-host.h2m
      WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
      COMMENT "Writing the manual page of gravelix-host"
      VERBATIM)
    add_custom_target(gravelix-host-manpage ALL
                      DEPENDS ${CMAKE_BINARY_DIR}/gravelix-host.1 ${CMAKE_BINARY_DIR}/gravelix-host.1.gz)
    install(FILES ${CMAKE_BINARY_DIR}/gravelix-host.1.gz DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  elseif(NOT GRAVELIX_HELP2MAN)
    message(WARNING "help2man not found (scripts/setup.sh installs it): "
                    "the package will have no manual page")
  endif()
endif()

configure_file(${_packaging}/copyright.in ${CMAKE_BINARY_DIR}/copyright @ONLY)
add_custom_command(
  OUTPUT changelog.gz
  COMMAND ${_packaging}/changelog.sh debian ${GRAVELIX_SOURCE_DIR}/CHANGES.md ${PROJECT_VERSION}
          ${GRAVELIX_CONTACT} > changelog
  COMMAND gzip -9nf changelog
  DEPENDS ${GRAVELIX_SOURCE_DIR}/CHANGES.md ${_packaging}/changelog.sh
  WORKING_DIRECTORY ${CMAKE_BINARY_DIR}
  COMMENT "Writing the Debian changelog"
  VERBATIM)
add_custom_target(gravelix-changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${CMAKE_BINARY_DIR}/copyright ${CMAKE_BINARY_DIR}/changelog.gz DESTINATION ${_docdir})

# Everything the package carries besides the two binaries, for builds of chosen targets only.
add_custom_target(gravelix-package-files DEPENDS gravelix-changelog)
if(TARGET gravelix-host-manpage)
  add_dependencies(gravelix-package-files gravelix-host-manpage)
endif()

# Folders and files as Debian wants them, whatever the umask of the one who builds.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME gravelix)
set(CPACK_PACKAGE_VENDOR Keldwyn)
set(CPACK_PACKAGE_CONTACT ${GRAVELIX_CONTACT})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${GRAVELIX_CONTACT})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "guitar distortion pedal as VST 2.4 and CLAP plug-ins")
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Gravelix is a two-knob guitar distortion pedal as a Linux VST 2.4 effect,\n"
    "with its pedal editor, installed where VST 2.4 hosts look for plug-ins\n"
    "(/usr/lib/vst/gravelix.so), and Gravelix HQ, the same pedal oversampled\n"
    "without aliasing (/usr/lib/vst/gravelix-hq.so). Both also come as CLAP\n"
    "plug-ins (/usr/lib/clap/Gravelix.clap, /usr/lib/clap/GravelixHQ.clap).\n"
    "gravelix-host is a command-line host that inspects, renders audio files\n"
    "through, checks and shows any VST 2.4 or CLAP plug-in.")
list(JOIN CPACK_DEBIAN_PACKAGE_DESCRIPTION "" CPACK_DEBIAN_PACKAGE_DESCRIPTION)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# gravelix_<version>_<arch>.deb.
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_STRIP_FILES ON)
# Dependencies come from the binaries' own libraries, found by dpkg-shlibdeps in
# CPackDebianDepends.cmake: CPack's own scan would also add ldconfig calls for the plug-in,
# which no linker path holds (hosts load it by path).
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS OFF)
if(TARGET gravelix AND TARGET gravelix-host)
  file(GENERATE OUTPUT ${CMAKE_BINARY_DIR}/CPackDebianDepends.cmake
       INPUT ${CMAKE_CURRENT_LIST_DIR}/CPackDebianDepends.cmake.in)
  set(CPACK_PROJECT_CONFIG_FILE ${CMAKE_BINARY_DIR}/CPackDebianDepends.cmake)
endif()
include(CPack)

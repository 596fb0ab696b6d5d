# gravelix_add_resource_table(<target> LIST <resources.list> [DEPENDS <extra>...]), Linux half:
# makes the static library <target> holding the files named in the list (lines "ID TYPE FILENAME
# [SLICES]", '#' comments, file names relative to the list) as the module's resource table. Link
# it into the plug-in (PUBLIC from a static library, so the linker option below reaches the final
# link).
# The lookup in gravelix_platform refers to the table weakly, so without the forced undefined
# symbol an archive member holding it would never be pulled in, whatever the link order.
include(${CMAKE_CURRENT_LIST_DIR}/../resourcelist.cmake)

function(gravelix_add_platform_resource_table target list depends)
  get_filename_component(dir "${list}" DIRECTORY)

  # The images named in the list become dependencies, so a changed image rebuilds the table;
  # a changed list re-runs the configuration to pick up new names.
  set(files)
  if(EXISTS "${list}")
    gravelix_read_resource_list("${list}" entries)
    foreach(line IN LISTS entries)
      string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
      list(LENGTH fields count)
      if(count GREATER_EQUAL 3)
        list(GET fields 2 file)
        list(APPEND files "${dir}/${file}")
      endif()
    endforeach()
  endif()

  set(output "${CMAKE_CURRENT_BINARY_DIR}/${target}_table.cpp")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${GRAVELIX_EMBED_RESOURCES_COMMAND} "${list}" "${output}"
    DEPENDS ${GRAVELIX_EMBED_RESOURCES_DEPENDS} "${list}" ${files} ${depends}
    COMMENT "Embedding resources from ${list}"
    VERBATIM)
  add_library(${target} STATIC "${output}")
  target_include_directories(${target} PRIVATE "${GRAVELIX_PLATFORM_LINUX_DIR}")
  target_link_options(${target} INTERFACE "LINKER:--undefined=gravelix_resource_table")
endfunction()

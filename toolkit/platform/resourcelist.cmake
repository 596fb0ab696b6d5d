# gravelix_add_resource_table(<target> LIST <resources.list> [DEPENDS <extra>...])
#
# Makes <target> carry the files named in the list as the module's resource table, rebuilt when
# the list, its files or <extra> change. The platform's resource-table file, which includes this
# one, does the making: gravelix_add_platform_resource_table(<target> <absolute list> <extra>).
function(gravelix_add_resource_table target)
  cmake_parse_arguments(ARG "" "LIST" "DEPENDS" ${ARGN})
  if(NOT ARG_LIST)
    message(FATAL_ERROR "gravelix_add_resource_table: LIST is required")
  endif()
  get_filename_component(list "${ARG_LIST}" ABSOLUTE)
  gravelix_add_platform_resource_table(${target} "${list}" "${ARG_DEPENDS}")
endfunction()

# gravelix_read_resource_list(<list> <out-var>): the entries of a resource list, the one format
# both platforms' resource tables read: lines "ID TYPE FILENAME [SLICES]" (file names relative
# to the list; SLICES, the number of bands an image is embedded in, is read by the Linux half
# alone), '#' starting a comment. <out-var> receives each entry's line, comment and surrounding
# white space removed; a changed list re-runs the configuration.
function(gravelix_read_resource_list list out)
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS "${list}")
  file(STRINGS "${list}" lines)
  set(entries)
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "#.*" "" line "${line}")
    string(STRIP "${line}" line)
    if(line)
      list(APPEND entries "${line}")
    endif()
  endforeach()
  set(${out} "${entries}" PARENT_SCOPE)
endfunction()

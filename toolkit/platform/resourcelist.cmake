# gravelix_read_resource_list(<list> <out-var>): the entries of a resource list, the one format
# both platforms' resource tables read: lines "ID TYPE FILENAME" (file names relative to the
# list), '#' starting a comment. <out-var> receives each entry's line, comment and surrounding
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

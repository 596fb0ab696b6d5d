# gravelix_add_resource_table(<target> LIST <resources.list> [DEPENDS <extra>...]), Windows half:
# the same list (lines "ID TYPE FILENAME [SLICES]", '#' comments, names relative to the list;
# an image stays one PNG here, SLICES is the Linux half's) becomes a resource script, compiled
# into every executable or DLL that links <target>. An interface library carries it as a source
# because a resource object inside a static archive would never be pulled into the link: nothing
# refers to it by symbol.
include(${CMAKE_CURRENT_LIST_DIR}/../toolkit/platform/resourcelist.cmake)

function(gravelix_add_platform_resource_table target list depends)
  get_filename_component(dir "${list}" DIRECTORY)

  set(script "// Generated from ${list}; edit the list, not this file.\n")
  set(files)
  gravelix_read_resource_list("${list}" entries)
  foreach(line IN LISTS entries)
    string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
    list(LENGTH fields count)
    if(count LESS 3)
      message(FATAL_ERROR "${list}: expected \"ID TYPE FILENAME\", got \"${line}\"")
    endif()
    list(GET fields 0 id)
    list(GET fields 1 type)
    list(GET fields 2 file)
    if(NOT id MATCHES "^[0-9]+$")
      message(FATAL_ERROR "${list}: resource id \"${id}\" is not a number")
    endif()
    if(NOT type MATCHES "^[A-Za-z_][A-Za-z0-9_]*$")
      message(FATAL_ERROR "${list}: resource type \"${type}\" is not a plain name")
    endif()
    # A name the resource compiler does not predefine (PNG) stays a named type.
    string(APPEND script "${id} ${type} \"${dir}/${file}\"\n")
    list(APPEND files "${dir}/${file}")
  endforeach()

  set(rc "${CMAKE_CURRENT_BINARY_DIR}/${target}.rc")
  file(CONFIGURE OUTPUT "${rc}" CONTENT "${script}" @ONLY)
  set_source_files_properties("${rc}" PROPERTIES OBJECT_DEPENDS "${files};${depends}")
  add_library(${target} INTERFACE)
  target_sources(${target} INTERFACE "${rc}")
endfunction()

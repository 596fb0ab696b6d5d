# gravelix_embed_resources, which writes a resource list's images into a source file, for the
# build itself and for cmake/buildtools (a cross build's copy for the build machine).
# Decodes with the plug-in's own decoder, so a size it records is one the plug-in will decode.
function(gravelix_add_embed_tool deps)
  set(_dir ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  add_executable(gravelix_embed_resources ${_dir}/argb32copy.cpp ${_dir}/embedresources.cpp
                                          ${_dir}/pngdecoder.cpp ${_dir}/pngslice.cpp)
  target_link_libraries(gravelix_embed_resources PRIVATE ${deps})
endfunction()

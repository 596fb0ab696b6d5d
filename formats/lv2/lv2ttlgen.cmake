# lv2ttlgen, the program that writes the bundle's data files from the parameter table and the
# programs: defined once here for the build itself and for formats/lv2/generator, the project a
# cross build makes it in with the build machine's compiler.
function(gravelix_add_lv2ttlgen source_dir)
  set(_lv2 ${source_dir}/formats/lv2)
  set(_effect ${source_dir}/effect)
  # The generator sees each pedal's identity through a file compiled against its own variant.
  foreach(variant plain hq)
    add_library(gravelix_lv2_identity_${variant} OBJECT ${_lv2}/lv2identity.cpp)
    target_include_directories(gravelix_lv2_identity_${variant} PRIVATE ${_effect}/${variant}
                                                                        ${_effect})
    target_compile_definitions(gravelix_lv2_identity_${variant} PRIVATE
                               GRAVELIX_LV2_IDENTITY=${variant}PedalIdentity)
  endforeach()
  add_executable(lv2ttlgen ${_lv2}/lv2ttlgen.cpp)
  target_include_directories(lv2ttlgen PRIVATE ${_effect})
  target_link_libraries(lv2ttlgen PRIVATE gravelix_lv2_identity_plain gravelix_lv2_identity_hq)
endfunction()

# Steinberg's VST3 interfaces (pluginterfaces, SDK 3.7.2), used in place from Debian's
# juce-modules-source-data under the SDK's GPLv3 option; only their headers are read. Defines
# gravelix_vst3_headers when found; the VST3 plug-ins are built only then.
find_path(GRAVELIX_VST3_SDK_DIR pluginterfaces/vst/ivstcomponent.h
          PATHS /usr/share/juce/modules/juce_audio_processors/format_types/VST3_SDK
          NO_CMAKE_FIND_ROOT_PATH
          DOC "Folder holding pluginterfaces/ (Debian: juce-modules-source-data)")
if(GRAVELIX_VST3_SDK_DIR)
  add_library(gravelix_vst3_headers INTERFACE)
  target_include_directories(gravelix_vst3_headers SYSTEM INTERFACE ${GRAVELIX_VST3_SDK_DIR})
  target_include_directories(gravelix_vst3_headers INTERFACE ${CMAKE_SOURCE_DIR}/formats/vst3)
else()
  message(STATUS "VST3 interfaces not found (Debian: juce-modules-source-data): no VST3 plug-ins")
endif()

// Where the pedals live in LV2's name space, shared by the adapter and the generator of the
// bundle's data files. Hosts save sessions and presets by these URIs: never change them.
#pragma once

#include <cstring>
#include <string>

#include "parametertable.h"

// Our one LV2 namespace; each pedal adds its id's last part ("gravelix", "gravelix-hq").
inline constexpr const char* kLv2Namespace = "https://keldwyn.example/plugins/";

// The last dot-separated part of a reverse-domain pedal id.
inline std::string lv2PedalStem(const char* pedalId) {
    const char* dot = std::strrchr(pedalId, '.');
    return dot ? dot + 1 : pedalId;
}

inline std::string lv2PluginUri(const char* pedalId) {
    return kLv2Namespace + lv2PedalStem(pedalId);
}

// The pedal's editor, in a library of its own beside the pedal's (stem + "-ui").
inline std::string lv2UiUri(const char* pedalId) {
    return lv2PluginUri(pedalId) + "#ui";
}

// Ports: stereo audio in and out, then one control input per parameter in index order, then
// the latency output.
inline constexpr unsigned kLv2InLeft = 0;
inline constexpr unsigned kLv2InRight = 1;
inline constexpr unsigned kLv2OutLeft = 2;
inline constexpr unsigned kLv2OutRight = 3;
inline constexpr unsigned kLv2FirstControl = 4;
inline constexpr unsigned kLv2LatencyPort =
    kLv2FirstControl + static_cast<unsigned>(kParameterCount);
inline constexpr unsigned kLv2PortCount = kLv2LatencyPort + 1;

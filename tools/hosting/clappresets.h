// The presets a plug-in's preset-discovery factory lists inside the plug-in itself (location
// kind "plugin"), as programs: presets in files are left to hosts with a browser.
#pragma once

#include "clapplugin.h"

#include <string>
#include <vector>

namespace gravelix::host {

struct ClapPreset {
    std::string name;
    std::string loadKey;
};

class ClapPresets {
public:
    // The presets for plug-in `pluginId` in the order the providers list them; none when the
    // file has no preset-discovery factory. Main thread.
    static std::vector<ClapPreset> discover(const ClapPlugin& file, const std::string& pluginId);
};

} // namespace gravelix::host

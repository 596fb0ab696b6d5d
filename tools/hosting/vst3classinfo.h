// What a VST3 module says about one of its audio classes, copied out of its factory so that code
// which never includes the SDK's headers (the commands, PluginHost's users) can show it.
#pragma once

#include <string>

namespace gravelix::host {

struct Vst3ClassInfo {
    std::string cid; // the class id as 32 hexadecimal digits, how --plugin names it
    std::string name;
    std::string vendor;
    std::string version;
    std::string subCategories; // "Fx|Distortion"
    std::string sdkVersion;    // what the module says it was built with; empty when it does not
};

} // namespace gravelix::host

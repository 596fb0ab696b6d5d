// What a CLAP plug-in says about itself, copied out of its descriptor so that code which never
// includes CLAP's headers (the commands, PluginHost's users) can show it.
#pragma once

#include <string>
#include <vector>

namespace gravelix::host {

struct ClapDescriptor {
    std::string id;
    std::string name;
    std::string vendor;
    std::string version;
    std::string description;
    std::string url;
    std::vector<std::string> features;
    std::string clapVersion; // "major.minor.revision" the plug-in was built against
};

} // namespace gravelix::host

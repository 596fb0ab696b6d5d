// What an LV2 plug-in's data says about it, copied out of lilv's world so that code which never
// includes LV2's or lilv's headers (the commands, PluginHost's users) can show it.
#pragma once

#include <string>
#include <vector>

namespace gravelix::host {

struct Lv2Descriptor {
    std::string uri;
    std::string name;
    std::string className;
    std::string author;
    std::string bundle;  // a folder path
    std::string binary;  // a file path
    std::string version; // "minor.micro" of the data, empty when it says none
    std::vector<std::string> requiredFeatures;
    std::vector<std::string> optionalFeatures;
    std::vector<std::string> uis; // "URI (class)"
};

} // namespace gravelix::host

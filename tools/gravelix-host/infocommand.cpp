#include "commands.h"
#include "tools/hosting/pluginhost.h"

#include <cstdio>
#include <string>
#include <vector>

namespace gravelix::host {

namespace {

std::string joined(const std::vector<std::string>& words) {
    std::string out;
    for (const std::string& w : words) {
        out += (out.empty() ? "" : " ") + w;
    }
    return out;
}

// What a CLAP file holds and how the chosen plug-in describes itself; the rest of the output
// is the effect record the bridge presents.
void printClap(const PluginHost& plugin) {
    const auto& plugins = plugin.clapPlugins();
    std::printf("CLAP plug-ins (%zu):\n", plugins.size());
    for (std::size_t i = 0; i < plugins.size(); ++i) {
        std::printf("  %s %s\n", static_cast<int>(i) == plugin.clapChosen() ? "*" : " ",
                    plugins[i].id.c_str());
    }
    const ClapDescriptor& d = plugins[static_cast<std::size_t>(plugin.clapChosen())];
    std::printf("CLAP id:        %s\n", d.id.c_str());
    std::printf("CLAP name:      %s\n", d.name.c_str());
    std::printf("CLAP vendor:    %s\n", d.vendor.c_str());
    std::printf("CLAP version:   %s\n", d.version.c_str());
    std::printf("CLAP features:  %s\n", joined(d.features).c_str());
    std::printf("Built for CLAP: %s\n\n", d.clapVersion.c_str());
}

// What a VST3 module holds and how the chosen audio class describes itself.
void printVst3(const PluginHost& plugin) {
    const auto& plugins = plugin.vst3Plugins();
    std::printf("VST3 audio classes (%zu):\n", plugins.size());
    for (std::size_t i = 0; i < plugins.size(); ++i) {
        std::printf("  %s %s  %s\n", static_cast<int>(i) == plugin.vst3Chosen() ? "*" : " ",
                    plugins[i].cid.c_str(), plugins[i].name.c_str());
    }
    const Vst3ClassInfo& d = plugins[static_cast<std::size_t>(plugin.vst3Chosen())];
    std::printf("VST3 class:     %s\n", d.cid.c_str());
    std::printf("VST3 name:      %s\n", d.name.c_str());
    std::printf("VST3 vendor:    %s\n", d.vendor.c_str());
    std::printf("VST3 version:   %s\n", d.version.c_str());
    std::printf("VST3 category:  %s\n", d.subCategories.c_str());
    std::printf("Built with:     %s\n\n", d.sdkVersion.c_str());
}

// The LV2 plug-ins found (a bundle's, or the one URI) and how the chosen one's data describes it.
void printLv2(const PluginHost& plugin) {
    const auto& plugins = plugin.lv2Plugins();
    std::printf("LV2 plug-ins (%zu):\n", plugins.size());
    for (std::size_t i = 0; i < plugins.size(); ++i) {
        std::printf("  %s %s\n", static_cast<int>(i) == plugin.lv2Chosen() ? "*" : " ",
                    plugins[i].uri.c_str());
    }
    const Lv2Descriptor& d = plugins[static_cast<std::size_t>(plugin.lv2Chosen())];
    std::printf("LV2 URI:        %s\n", d.uri.c_str());
    std::printf("LV2 class:      %s\n", d.className.c_str());
    std::printf("LV2 version:    %s\n", d.version.empty() ? "(none given)" : d.version.c_str());
    std::printf("Bundle:         %s\n", d.bundle.c_str());
    std::printf("Binary:         %s\n", d.binary.c_str());
    std::printf("Needs:          %s\n",
                d.requiredFeatures.empty() ? "(nothing)" : joined(d.requiredFeatures).c_str());
    std::printf("Can use:        %s\n",
                d.optionalFeatures.empty() ? "(nothing)" : joined(d.optionalFeatures).c_str());
    for (const std::string& ui : d.uis) {
        std::printf("UI:             %s\n", ui.c_str());
    }
    std::printf("\n");
}

void printInfo(const PluginHost& plugin) {
    const AEffect* e = plugin.effect();
    std::printf("Plug-in:        %s\n", plugin.path().c_str());
    if (plugin.clapChosen() >= 0) {
        printClap(plugin);
    }
    if (plugin.vst3Chosen() >= 0) {
        printVst3(plugin);
    }
    if (plugin.lv2Chosen() >= 0) {
        printLv2(plugin);
    }
    std::printf("Name:           %s\n", plugin.effectName().c_str());
    std::printf("Vendor:         %s\n", plugin.vendorString().c_str());
    std::printf("Product:        %s\n", plugin.productString().c_str());
    std::printf("Vendor version: %d\n", plugin.vendorVersion());
    std::printf("Unique ID:      %d (0x%08X, '%s')\n", e->uniqueID,
                static_cast<unsigned>(e->uniqueID), fourCharacters(e->uniqueID).c_str());
    std::printf("VST version:    %ld\n", static_cast<long>(plugin.dispatch(effGetVstVersion)));
    std::printf("Inputs:         %d\n", e->numInputs);
    std::printf("Outputs:        %d\n", e->numOutputs);
    std::printf("Initial delay:  %d\n", e->initialDelay);
    std::printf("Flags:          0x%X (%s)\n", static_cast<unsigned>(e->flags),
                describeFlags(e->flags).c_str());

    std::printf("\nParameters (%d):\n", e->numParams);
    std::printf("  %3s  %-18s %-6s %-12s %s\n", "#", "Name", "Label", "Display", "Value");
    for (VstInt32 i = 0; i < e->numParams; ++i) {
        std::printf("  %3d  %-18s %-6s %-12s %.6g\n", i, plugin.parameterName(i).c_str(),
                    plugin.parameterLabel(i).c_str(), plugin.parameterDisplay(i).c_str(),
                    static_cast<double>(plugin.getParameter(i)));
    }

    const VstInt32 current = plugin.currentProgram();
    std::printf("\nPrograms (%d):\n", e->numPrograms);
    for (VstInt32 i = 0; i < e->numPrograms; ++i) {
        std::printf("  %3d  %s%s\n", i, plugin.programName(i).c_str(),
                    i == current ? "  (current)" : "");
    }
}

} // namespace

void addInfoCommand(CLI::App& app, int& status) {
    auto* cmd = app.add_subcommand("info", "Print a plug-in's identity, parameters and programs");
    setExample(*cmd, "gravelix-host info /usr/lib/vst/gravelix.so");
    auto path = std::make_shared<std::string>();
    auto pluginId = std::make_shared<std::string>();
    cmd->add_option("PLUGIN", *path, "Plug-in (.so, .dll, .clap, .vst3, LV2 bundle or URI)")
        ->required();
    addPluginIdOption(*cmd, *pluginId);
    cmd->callback([path, pluginId, &status] {
        PluginHost plugin(*path, *pluginId);
        printInfo(plugin);
        status = 0;
    });
}

} // namespace gravelix::host

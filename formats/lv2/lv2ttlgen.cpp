// Writes the LV2 bundle's data files (manifest.ttl, one description per pedal with its editor's
// UI, presets.ttl) from the parameter table and the factory programs, so that ports, defaults
// and presets cannot drift from the code. Runs on the build machine: it reads headers, never
// the built plug-ins.
// Usage: lv2ttlgen OUTDIR MODULE_SUFFIX MAJOR MINOR PATCH
#include <cctype>
#include <charconv>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "gravelixprogram.h"
#include "lv2identity.h"
#include "lv2pedaluri.h"
#include "parametertable.h"

namespace {

const char* const kPrefixes = "@prefix doap: <http://usefulinc.com/ns/doap#> .\n"
                              "@prefix foaf: <http://xmlns.com/foaf/0.1/> .\n"
                              "@prefix lv2: <http://lv2plug.in/ns/lv2core#> .\n"
                              "@prefix opts: <http://lv2plug.in/ns/ext/options#> .\n"
                              "@prefix pset: <http://lv2plug.in/ns/ext/presets#> .\n"
                              "@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .\n"
                              "@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .\n"
                              "@prefix ui: <http://lv2plug.in/ns/extensions/ui#> .\n"
                              "@prefix units: <http://lv2plug.in/ns/extensions/units#> .\n\n";

// The shortest decimal that reads back as the same float, as a Turtle decimal.
std::string decimal(float v) {
    char text[32];
    const auto end = std::to_chars(text, text + sizeof text, v).ptr;
    std::string s(text, end);
    if (s.find_first_of(".e") == std::string::npos) {
        s += ".0";
    }
    return s;
}

std::string quoted(const std::string& s) {
    std::string q = "\"";
    for (char c : s) {
        if (c == '"' || c == '\\') {
            q += '\\';
        }
        q += c;
    }
    return q + '"';
}

// A program's name as a URI fragment: "Hi-Gain" -> "hi-gain".
std::string fragment(const char* name) {
    std::string f;
    for (const char* c = name; *c; ++c) {
        const auto u = static_cast<unsigned char>(*c);
        f += std::isalnum(u) ? static_cast<char>(std::tolower(u)) : '-';
    }
    return f;
}

struct Version {
    int minor;
    int micro;
};

std::string audioPort(unsigned index, const char* direction, const char* symbol, const char* name) {
    return std::string("[\n        a lv2:AudioPort, lv2:") + direction + " ;\n" +
           "        lv2:index " + std::to_string(index) + " ;\n        lv2:symbol " +
           quoted(symbol) + " ;\n        lv2:name " + quoted(name) + " ;\n    ]";
}

std::string controlPort(const ParameterInfo& row) {
    const unsigned index = kLv2FirstControl + static_cast<unsigned>(row.index);
    const float def = defaultValue(row);
    std::string s = "[\n        a lv2:ControlPort, lv2:InputPort ;\n        lv2:index " +
                    std::to_string(index) + " ;\n        lv2:symbol " + quoted(row.symbol) +
                    " ;\n        lv2:name " + quoted(row.name) + " ;\n";
    if (!isSwitch(row)) {
        s += "        lv2:default " + decimal(def) + " ;\n        lv2:minimum 0.0 ;\n" +
             "        lv2:maximum 1.0 ;\n";
        if (row.text == ParameterText::decibels) {
            s += "        rdfs:comment \"The normalised value; the gain it sets is shown in "
                 "dB, which does not map back to this value exactly.\" ;\n";
        }
        return s + "    ]";
    }
    s += "        lv2:default " + std::to_string(def > 0.5f ? 1 : 0) +
         " ;\n        lv2:minimum 0 ;\n        lv2:maximum 1 ;\n";
    if (row.text == ParameterText::channels) {
        s += "        lv2:portProperty lv2:enumeration, lv2:integer ;\n"
             "        lv2:scalePoint [ rdfs:label \"Mono\" ; rdf:value 0 ] ,\n"
             "            [ rdfs:label \"Stereo\" ; rdf:value 1 ] ;\n";
    } else {
        s += "        lv2:portProperty lv2:toggled, lv2:integer ;\n";
    }
    if (row.index == kBypassParameter) {
        // The footswitch: on (1) is processing, which is what LV2 means by enabled.
        s += "        lv2:designation lv2:enabled ;\n";
    }
    return s + "    ]";
}

// The editor as an X11 UI. Every feature is optional (some hosts refuse a UI that requires one
// they lack), and every control port notifies it, so the host sends it each value.
std::string uiDescription(const Lv2PedalIdentity& pedal, const std::string& suffix) {
    const std::string plugin = lv2PluginUri(pedal.id);
    std::string s = "<" + lv2UiUri(pedal.id) + ">\n    a ui:X11UI ;\n";
    s += "    ui:binary <" + lv2PedalStem(pedal.id) + "-ui" + suffix + "> ;\n";
    s += "    lv2:optionalFeature ui:parent, ui:idleInterface, ui:resize, ui:touch, "
         "ui:noUserResize, opts:options, <http://lv2plug.in/ns/ext/urid#map> ;\n";
    s += "    lv2:extensionData ui:idleInterface, ui:resize ;\n";
    s += "    opts:supportedOption ui:scaleFactor ;\n";
    s += "    ui:portNotification ";
    for (std::size_t i = 0; i < kParameterTable.size(); ++i) {
        s += "[\n        ui:plugin <" + plugin + "> ;\n        lv2:symbol " +
             quoted(kParameterTable[i].symbol) +
             " ;\n        ui:protocol ui:floatProtocol ;\n    ]";
        s += i + 1 < kParameterTable.size() ? " , " : " .\n";
    }
    return s;
}

std::string pluginFile(const Lv2PedalIdentity& pedal, Version version, const std::string& suffix) {
    std::string s = "# Generated by lv2ttlgen from the parameter table; do not edit.\n"
                    "# Control values are the VST 2.4 normalised values (0 to 1), so the same "
                    "values sound\n# the same in both formats.\n\n";
    s += kPrefixes;
    s += "<" + lv2PluginUri(pedal.id) +
         ">\n    a lv2:Plugin, lv2:DistortionPlugin, doap:Project ;\n";
    s += "    doap:name " + quoted(pedal.product) + " ;\n";
    s += "    doap:shortdesc " + quoted(pedal.description) + " ;\n";
    s += "    doap:license <https://spdx.org/licenses/GPL-3.0-or-later> ;\n";
    s += "    doap:maintainer [ foaf:name \"Keldwyn\" ] ;\n";
    s += "    lv2:minorVersion " + std::to_string(version.minor) + " ;\n";
    s += "    lv2:microVersion " + std::to_string(version.micro) + " ;\n";
    s += "    lv2:optionalFeature lv2:hardRTCapable ;\n";
    s += "    ui:ui <" + lv2UiUri(pedal.id) + "> ;\n";
    std::vector<std::string> ports = {
        audioPort(kLv2InLeft, "InputPort", "in_l", "In L"),
        audioPort(kLv2InRight, "InputPort", "in_r", "In R"),
        audioPort(kLv2OutLeft, "OutputPort", "out_l", "Out L"),
        audioPort(kLv2OutRight, "OutputPort", "out_r", "Out R"),
    };
    for (std::int32_t index = 0; index < kParameterCount; ++index) {
        ports.push_back(controlPort(parameterInfo(index)));
    }
    ports.push_back("[\n        a lv2:ControlPort, lv2:OutputPort ;\n        lv2:index " +
                    std::to_string(kLv2LatencyPort) +
                    " ;\n        lv2:symbol \"latency\" ;\n        lv2:name \"Latency\" ;\n" +
                    "        lv2:designation lv2:latency ;\n"
                    "        lv2:portProperty lv2:integer ;\n"
                    "        units:unit units:frame ;\n    ]");
    s += "    lv2:port ";
    for (std::size_t i = 0; i < ports.size(); ++i) {
        s += ports[i] + (i + 1 < ports.size() ? " , " : " .\n");
    }
    return s + "\n" + uiDescription(pedal, suffix);
}

std::string presetsFile(const std::vector<Lv2PedalIdentity>& pedals) {
    std::string s = "# Generated by lv2ttlgen from the factory programs; do not edit.\n\n";
    s += kPrefixes;
    for (const Lv2PedalIdentity& pedal : pedals) {
        const std::string uri = lv2PluginUri(pedal.id);
        for (const GravelixProgram& program : kFactoryPrograms) {
            s += "<" + uri + "#" + fragment(program.name) + ">\n    a pset:Preset ;\n";
            s += "    lv2:appliesTo <" + uri + "> ;\n";
            s += "    rdfs:label " + quoted(program.name) + " ;\n    lv2:port ";
            for (std::size_t i = 0; i < kParameterTable.size(); ++i) {
                const ParameterInfo& row = kParameterTable[i];
                s += "[\n        lv2:symbol " + quoted(row.symbol) + " ;\n        pset:value " +
                     decimal(program.*row.field) + " ;\n    ]";
                s += i + 1 < kParameterTable.size() ? " , " : " .\n\n";
            }
        }
    }
    return s;
}

std::string manifestFile(const std::vector<Lv2PedalIdentity>& pedals, const std::string& suffix) {
    std::string s = "# Generated by lv2ttlgen; do not edit.\n\n";
    s += kPrefixes;
    for (const Lv2PedalIdentity& pedal : pedals) {
        const std::string uri = lv2PluginUri(pedal.id);
        const std::string stem = lv2PedalStem(pedal.id);
        s += "<" + uri + ">\n    a lv2:Plugin ;\n    lv2:binary <" + stem + suffix + "> ;\n";
        s += "    rdfs:seeAlso <" + stem + ".ttl> .\n\n";
        s += "<" + lv2UiUri(pedal.id) + ">\n    a ui:X11UI ;\n    ui:binary <" + stem + "-ui" +
             suffix + "> ;\n    rdfs:seeAlso <" + stem + ".ttl> .\n\n";
        for (const GravelixProgram& program : kFactoryPrograms) {
            s += "<" + uri + "#" + fragment(program.name) + ">\n    a pset:Preset ;\n";
            s += "    lv2:appliesTo <" + uri + "> ;\n    rdfs:seeAlso <presets.ttl> .\n\n";
        }
    }
    return s;
}

bool write(const std::string& path, const std::string& text) {
    std::ofstream out(path, std::ios::binary);
    out << text;
    out.close();
    if (!out) {
        std::cerr << "lv2ttlgen: cannot write " << path << "\n";
        return false;
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 6) {
        std::cerr << "Usage: lv2ttlgen OUTDIR MODULE_SUFFIX MAJOR MINOR PATCH\n";
        return 2;
    }
    const std::string dir = argv[1];
    const std::string suffix = argv[2];
    // LV2 takes an odd minor or micro version, or minor 0, for a development build, and
    // compares minor then micro to find the newest copy. Ours map to even numbers that rise
    // with our version: 1.2.1 is minor 204 (2 x (100 x major + minor)), micro 2 (2 x patch).
    const int major = std::atoi(argv[3]);
    const Version version{2 * (100 * major + std::atoi(argv[4])), 2 * std::atoi(argv[5])};

    const std::vector<Lv2PedalIdentity> pedals = {plainPedalIdentity(), hqPedalIdentity()};
    bool ok = write(dir + "/manifest.ttl", manifestFile(pedals, suffix)) &&
              write(dir + "/presets.ttl", presetsFile(pedals));
    for (const Lv2PedalIdentity& pedal : pedals) {
        ok = ok &&
             write(dir + "/" + lv2PedalStem(pedal.id) + ".ttl", pluginFile(pedal, version, suffix));
    }
    return ok ? 0 : 1;
}

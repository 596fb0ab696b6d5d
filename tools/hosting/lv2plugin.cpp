#include "lv2plugin.h"

#include "pluginhost.h"

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <sstream>

namespace gravelix::host {

namespace fs = std::filesystem;

struct Lv2Plugin::World {
    LilvWorld* world = nullptr;
    std::mutex mutex;
    ~World() {
        if (world) {
            lilv_world_free(world);
        }
    }
};

namespace {

// Worlds by scope ("" for every installed bundle, else a bundle's folder), while in use.
std::mutex worldsMutex;
std::map<std::string, std::weak_ptr<Lv2Plugin::World>> worlds;

std::string text(const LilvNode* node) {
    return node && (lilv_node_is_string(node) || lilv_node_is_uri(node) ||
                    lilv_node_is_literal(node))
               ? lilv_node_as_string(node)
               : "";
}

// Takes ownership of a node lilv returned for the caller to free.
std::string taken(LilvNode* node) {
    std::string s = text(node);
    lilv_node_free(node);
    return s;
}

std::string pathOf(const LilvNode* uri) {
    if (!uri) {
        return "";
    }
    char* path = lilv_file_uri_parse(lilv_node_as_uri(uri), nullptr);
    std::string s = path ? path : "";
    lilv_free(path);
    return s;
}

std::vector<std::string> texts(LilvNodes* nodes) {
    std::vector<std::string> out;
    LILV_FOREACH(nodes, i, nodes) {
        out.push_back(text(lilv_nodes_get(nodes, i)));
    }
    lilv_nodes_free(nodes);
    return out;
}

// The folders LV2 hosts search: LV2_PATH, else the default one.
std::vector<fs::path> searchPath() {
    std::string path;
    if (const char* env = std::getenv("LV2_PATH"); env && *env) {
        path = env;
    } else {
        const char* home = std::getenv("HOME");
        path = std::string(home ? home : "") + "/.lv2:/usr/local/lib/lv2:/usr/lib/lv2";
    }
    std::vector<fs::path> dirs;
    std::stringstream in(path);
    for (std::string dir; std::getline(in, dir, ':');) {
        if (!dir.empty()) {
            dirs.emplace_back(dir);
        }
    }
    return dirs;
}

void loadBundle(LilvWorld* world, const fs::path& dir) {
    std::string uri = "file://" + dir.string();
    if (uri.back() != '/') {
        uri += '/';
    }
    LilvNode* node = lilv_new_uri(world, uri.c_str());
    lilv_world_load_bundle(world, node);
    lilv_node_free(node);
}

// A world with one bundle and the specifications a host reads plug-in data with (the port
// classes, units' symbols, port properties, presets, UIs).
LilvWorld* bundleWorld(const fs::path& bundle) {
    LilvWorld* world = lilv_world_new();
    static const char* const specifications[] = {"core.lv2",     "units.lv2",      "port-props.lv2",
                                                 "presets.lv2",  "ui.lv2",         "options.lv2",
                                                 "buf-size.lv2", "urid.lv2",       "atom.lv2",
                                                 "state.lv2",    "parameters.lv2", "log.lv2"};
    for (const fs::path& dir : searchPath()) {
        for (const char* name : specifications) {
            std::error_code ec;
            if (fs::exists(dir / name / "manifest.ttl", ec) &&
                !fs::equivalent(dir / name, bundle, ec)) {
                loadBundle(world, dir / name);
            }
        }
    }
    loadBundle(world, bundle);
    lilv_world_load_specifications(world);
    lilv_world_load_plugin_classes(world);
    return world;
}

std::shared_ptr<Lv2Plugin::World> worldFor(const std::string& scope, double& seconds) {
    std::lock_guard lock(worldsMutex);
    if (auto shared = worlds[scope].lock()) {
        seconds = 0.0;
        return shared;
    }
    const auto start = std::chrono::steady_clock::now();
    auto world = std::make_shared<Lv2Plugin::World>();
    if (scope.empty()) {
        world->world = lilv_world_new();
        lilv_world_load_all(world->world);
    } else {
        world->world = bundleWorld(scope);
    }
    seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    worlds[scope] = world;
    return world;
}

} // namespace

bool Lv2Plugin::isBundle(const std::string& path) {
    std::error_code ec;
    if (!fs::is_directory(path, ec)) {
        return false;
    }
    fs::path p(path);
    if (!p.has_filename()) {
        p = p.parent_path();
    }
    return p.extension() == ".lv2" || fs::exists(fs::path(path) / "manifest.ttl", ec);
}

bool Lv2Plugin::isUri(const std::string& text) {
    const std::size_t colon = text.find(':');
    if (colon == std::string::npos || colon < 2) {
        return false;
    }
    for (std::size_t i = 0; i < colon; ++i) {
        const char c = text[i];
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        if (!letter && (i == 0 || !((c >= '0' && c <= '9') || c == '+' || c == '-' || c == '.'))) {
            return false;
        }
    }
    return colon + 1 < text.size();
}

Lv2Plugin::Lv2Plugin(const std::string& where, const std::string& pluginUri) {
    const bool byUri = !isBundle(where);
    std::string scope;
    if (!byUri) {
        scope = fs::weakly_canonical(fs::absolute(where)).string();
        if (!scope.empty() && scope.back() == '/') {
            scope.pop_back();
        }
    }
    world_ = worldFor(scope, worldSeconds_);
    std::lock_guard lock(world_->mutex);
    const LilvPlugins* all = lilv_world_get_all_plugins(world_->world);

    // The candidates: the one URI asked for, or every plug-in of the bundle.
    std::vector<const LilvPlugin*> found;
    if (byUri) {
        LilvNode* node = lilv_new_uri(world_->world, where.c_str());
        const LilvPlugin* p = node ? lilv_plugins_get_by_uri(all, node) : nullptr;
        lilv_node_free(node);
        if (!p) {
            throw LoadError(LoadError::Kind::MissingFile,
                            "no LV2 plug-in '" + where + "' is installed (searched " +
                                (std::getenv("LV2_PATH") ? "LV2_PATH" : "LV2's default path") +
                                "; or give its bundle folder)");
        }
        if (!pluginUri.empty() && pluginUri != where) {
            throw LoadError(LoadError::Kind::UnknownPlugin,
                            "'" + where + "' is one LV2 plug-in: --plugin " + pluginUri +
                                " picks one of a bundle's");
        }
        found.push_back(p);
    } else {
        LILV_FOREACH(plugins, i, all) {
            found.push_back(lilv_plugins_get(all, i));
        }
        if (found.empty()) {
            throw LoadError(LoadError::Kind::NullEffect,
                            "'" + where +
                                "' is an LV2 bundle without a plug-in (its manifest.ttl "
                                "names none, or names it in a file it lacks)");
        }
    }

    for (const LilvPlugin* p : found) {
        Lv2Descriptor d;
        d.uri = text(lilv_plugin_get_uri(p));
        d.name = taken(lilv_plugin_get_name(p));
        d.className = text(lilv_plugin_class_get_label(lilv_plugin_get_class(p)));
        d.author = taken(lilv_plugin_get_author_name(p));
        d.bundle = pathOf(lilv_plugin_get_bundle_uri(p));
        d.binary = pathOf(lilv_plugin_get_library_uri(p));
        LilvNode* minor = lilv_new_uri(world_->world, LILV_NS_LV2 "minorVersion");
        LilvNode* micro = lilv_new_uri(world_->world, LILV_NS_LV2 "microVersion");
        LilvNodes* mi = lilv_plugin_get_value(p, minor);
        LilvNodes* mc = lilv_plugin_get_value(p, micro);
        if (mi && mc) {
            d.version = text(lilv_nodes_get_first(mi)) + "." + text(lilv_nodes_get_first(mc));
        }
        lilv_nodes_free(mi);
        lilv_nodes_free(mc);
        lilv_node_free(minor);
        lilv_node_free(micro);
        d.requiredFeatures = texts(lilv_plugin_get_required_features(p));
        d.optionalFeatures = texts(lilv_plugin_get_optional_features(p));
        if (LilvUIs* uis = lilv_plugin_get_uis(p)) {
            LILV_FOREACH(uis, i, uis) {
                const LilvUI* ui = lilv_uis_get(uis, i);
                std::string classes;
                const LilvNodes* c = lilv_ui_get_classes(ui);
                LILV_FOREACH(nodes, j, c) {
                    classes += (classes.empty() ? "" : ", ") + text(lilv_nodes_get(c, j));
                }
                d.uis.push_back(text(lilv_ui_get_uri(ui)) + " (" + classes + ")");
            }
            lilv_uis_free(uis);
        }
        plugins_.push_back(std::move(d));
    }

    if (!pluginUri.empty() && !byUri) {
        std::string offered;
        bool matched = false;
        for (std::size_t i = 0; i < plugins_.size(); ++i) {
            offered += (offered.empty() ? "" : ", ") + plugins_[i].uri;
            if (plugins_[i].uri == pluginUri) {
                chosen_ = i;
                matched = true;
            }
        }
        if (!matched) {
            throw LoadError(LoadError::Kind::UnknownPlugin,
                            "'" + where + "' holds no LV2 plug-in '" + pluginUri + "' (it holds " +
                                offered + ")");
        }
    }
    plugin_ = found[chosen_];
    if (!lilv_plugin_verify(plugin_)) {
        throw LoadError(LoadError::Kind::NullEffect,
                        "the LV2 data of '" + descriptor().uri +
                            "' is incomplete (no name, binary or valid ports)");
    }
}

Lv2Plugin::~Lv2Plugin() {
    std::lock_guard lock(world_->mutex);
    for (LilvNode* n : nodes_) {
        lilv_node_free(n);
    }
}

LilvWorld* Lv2Plugin::world() const {
    return world_->world;
}

std::mutex& Lv2Plugin::worldMutex() const {
    return world_->mutex;
}

const LilvNode* Lv2Plugin::uri(const char* text) {
    nodes_.push_back(lilv_new_uri(world_->world, text));
    return nodes_.back();
}

} // namespace gravelix::host

#include "clappresets.h"

#include "clapextensions.h"

#include <cstring>

namespace gravelix::host {

namespace {

struct Indexer {
    clap_preset_discovery_indexer_t clap{};
    std::vector<clap_preset_discovery_location_t> locations;
};

struct Receiver {
    clap_preset_discovery_metadata_receiver_t clap{};
    const std::string* pluginId = nullptr;
    std::vector<ClapPreset>* out = nullptr;
    // The preset being described; kept only if it names our plug-in or names none.
    bool open = false;
    bool named = false;
    bool ours = false;
    ClapPreset preset;

    void finish() {
        if (open && (!named || ours)) {
            out->push_back(preset);
        }
        open = false;
    }
};

Receiver& self(const clap_preset_discovery_metadata_receiver_t* r) {
    return *static_cast<Receiver*>(r->receiver_data);
}

std::vector<ClapPreset> fromFactory(const clap_preset_discovery_factory_t* factory,
                                    const std::string& pluginId) {
    std::vector<ClapPreset> presets;
    Indexer indexer;
    indexer.clap.clap_version = CLAP_VERSION;
    indexer.clap.name = "gravelix-host";
    indexer.clap.vendor = "Gravelix";
    indexer.clap.url = "";
    indexer.clap.version = "1";
    indexer.clap.indexer_data = &indexer;
    indexer.clap.declare_filetype = [](const clap_preset_discovery_indexer_t*,
                                       const clap_preset_discovery_filetype_t*) { return true; };
    indexer.clap.declare_location = [](const clap_preset_discovery_indexer_t* i,
                                       const clap_preset_discovery_location_t* location) {
        if (location) {
            static_cast<Indexer*>(i->indexer_data)->locations.push_back(*location);
        }
        return true;
    };
    indexer.clap.declare_soundpack = [](const clap_preset_discovery_indexer_t*,
                                        const clap_preset_discovery_soundpack_t*) { return true; };
    indexer.clap.get_extension = [](const clap_preset_discovery_indexer_t*,
                                    const char*) -> const void* { return nullptr; };

    Receiver receiver;
    receiver.pluginId = &pluginId;
    receiver.out = &presets;
    auto& r = receiver.clap;
    r.receiver_data = &receiver;
    r.on_error = [](const clap_preset_discovery_metadata_receiver_t*, std::int32_t, const char*) {};
    r.begin_preset = [](const clap_preset_discovery_metadata_receiver_t* rr, const char* name,
                        const char* loadKey) {
        Receiver& me = self(rr);
        me.finish();
        me.open = true;
        me.named = me.ours = false;
        me.preset = {name ? name : "", loadKey ? loadKey : ""};
        return true;
    };
    r.add_plugin_id = [](const clap_preset_discovery_metadata_receiver_t* rr,
                         const clap_universal_plugin_id_t* id) {
        Receiver& me = self(rr);
        me.named = true;
        if (id && id->abi && id->id && std::strcmp(id->abi, "clap") == 0 &&
            *me.pluginId == id->id) {
            me.ours = true;
        }
    };
    r.set_soundpack_id = [](const clap_preset_discovery_metadata_receiver_t*, const char*) {};
    r.set_flags = [](const clap_preset_discovery_metadata_receiver_t*, std::uint32_t) {};
    r.add_creator = [](const clap_preset_discovery_metadata_receiver_t*, const char*) {};
    r.set_description = [](const clap_preset_discovery_metadata_receiver_t*, const char*) {};
    r.set_timestamps = [](const clap_preset_discovery_metadata_receiver_t*, clap_timestamp,
                          clap_timestamp) {};
    r.add_feature = [](const clap_preset_discovery_metadata_receiver_t*, const char*) {};
    r.add_extra_info = [](const clap_preset_discovery_metadata_receiver_t*, const char*,
                          const char*) {};

    const std::uint32_t count = factory->count ? factory->count(factory) : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const clap_preset_discovery_provider_descriptor_t* d = factory->get_descriptor(factory, i);
        if (!d || !d->id) {
            continue;
        }
        const clap_preset_discovery_provider_t* provider =
            factory->create(factory, &indexer.clap, d->id);
        if (!provider) {
            continue;
        }
        indexer.locations.clear();
        if (provider->init(provider)) {
            for (const auto& location : indexer.locations) {
                if (location.kind == CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN) {
                    provider->get_metadata(provider, CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr,
                                           &receiver.clap);
                    receiver.finish();
                }
            }
        }
        provider->destroy(provider);
    }
    return presets;
}

} // namespace

std::vector<ClapPreset> ClapPresets::discover(const ClapPlugin& file, const std::string& pluginId) {
    auto factory = static_cast<const clap_preset_discovery_factory_t*>(
        file.factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
    if (!factory) {
        factory = static_cast<const clap_preset_discovery_factory_t*>(
            file.factory(CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT));
    }
    return factory ? fromFactory(factory, pluginId) : std::vector<ClapPreset>{};
}

} // namespace gravelix::host

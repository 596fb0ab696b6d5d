// The library's entry: its plug-in factory (one pedal) and its preset-discovery factory, which
// lists the factory programs as presets inside the plug-in.
#include <clap/entry.h>
#include <clap/plugin-factory.h>

#include <cstring>
#include <new>

#include "clapextensions.h"
#include "clappedal.h"

namespace {

const clap_plugin_factory_t pluginFactory = {
    [](const clap_plugin_factory_t*) -> std::uint32_t { return 1; },
    [](const clap_plugin_factory_t*, std::uint32_t index) -> const clap_plugin_descriptor_t* {
        return index == 0 ? &ClapPedal::descriptor : nullptr;
    },
    [](const clap_plugin_factory_t*, const clap_host_t* host,
       const char* id) -> const clap_plugin_t* {
        if (!host || !id || std::strcmp(id, ClapPedal::kId) != 0 ||
            !clap_version_is_compatible(host->clap_version)) {
            return nullptr;
        }
        // The host gets null rather than an exception when memory runs out.
        ClapPedal* pedal = new (std::nothrow) ClapPedal(host);
        return pedal ? pedal->plugin() : nullptr;
    },
};

const clap_preset_discovery_provider_descriptor_t providerDescriptor = {
    CLAP_VERSION_INIT,
    ClapPedal::kId,
    "Factory programs",
    "Keldwyn",
};

struct Provider {
    clap_preset_discovery_provider_t record;
    const clap_preset_discovery_indexer_t* indexer;
};

bool providerInit(const clap_preset_discovery_provider_t* p) {
    const auto* self = static_cast<const Provider*>(p->provider_data);
    const clap_preset_discovery_location_t location = {
        CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT, "Factory programs",
        CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN, nullptr};
    return self->indexer && self->indexer->declare_location &&
           self->indexer->declare_location(self->indexer, &location);
}

bool providerMetadata(const clap_preset_discovery_provider_t*, std::uint32_t kind, const char*,
                      const clap_preset_discovery_metadata_receiver_t* receiver) {
    if (kind != CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN || !receiver || !receiver->begin_preset) {
        return false;
    }
    const clap_universal_plugin_id_t plugin = {"clap", ClapPedal::kId};
    for (std::int32_t program = 0; program < PedalCore::kNumPrograms; ++program) {
        if (!receiver->begin_preset(receiver, kFactoryPrograms[program].name,
                                    ClapPedal::presetKey(program).data())) {
            break;
        }
        if (receiver->add_plugin_id) {
            receiver->add_plugin_id(receiver, &plugin);
        }
        if (receiver->set_flags) {
            receiver->set_flags(receiver, CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);
        }
        if (receiver->add_creator) {
            receiver->add_creator(receiver, "Keldwyn");
        }
    }
    return true;
}

const clap_preset_discovery_factory_t presetFactory = {
    [](const clap_preset_discovery_factory_t*) -> std::uint32_t { return 1; },
    [](const clap_preset_discovery_factory_t*,
       std::uint32_t index) -> const clap_preset_discovery_provider_descriptor_t* {
        return index == 0 ? &providerDescriptor : nullptr;
    },
    [](const clap_preset_discovery_factory_t*, const clap_preset_discovery_indexer_t* indexer,
       const char* id) -> const clap_preset_discovery_provider_t* {
        if (!indexer || !id || std::strcmp(id, ClapPedal::kId) != 0) {
            return nullptr;
        }
        auto* provider = new (std::nothrow) Provider{};
        if (!provider) {
            return nullptr;
        }
        provider->indexer = indexer;
        provider->record.desc = &providerDescriptor;
        provider->record.provider_data = provider;
        provider->record.init = providerInit;
        provider->record.destroy = [](const clap_preset_discovery_provider_t* p) {
            delete static_cast<Provider*>(p->provider_data);
        };
        provider->record.get_metadata = providerMetadata;
        provider->record.get_extension = [](const clap_preset_discovery_provider_t*,
                                            const char*) -> const void* { return nullptr; };
        return &provider->record;
    },
};

} // namespace

extern "C" CLAP_EXPORT const clap_plugin_entry_t clap_entry = {
    CLAP_VERSION_INIT,
    [](const char*) { return true; },
    [] {},
    [](const char* id) -> const void* {
        if (!id) {
            return nullptr;
        }
        if (std::strcmp(id, CLAP_PLUGIN_FACTORY_ID) == 0) {
            return &pluginFactory;
        }
        if (std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID) == 0 ||
            std::strcmp(id, CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT) == 0) {
            return &presetFactory;
        }
        return nullptr;
    },
};

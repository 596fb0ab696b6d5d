// Guards against a CLAP host losing or damaging a project's pedal: a state that does not come
// back byte for byte (also through streams that move a byte at a time), a bad or newer stream
// that replaces the state the pedal had, the released version-1 layout no longer loading, and
// factory presets the host lists but cannot load, or keys that load something unlisted.
#include "clapinstance.h"
#include "claprunner.h"
#include "pedalstatefixture.h"
#include "pluginrunner.h"
#include "recordinghost.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

class ClapState : public ::testing::Test {
protected:
    ClapLibrary library{GRAVELIX_CLAP};

    void SetUp() override { ASSERT_TRUE(library.loaded()) << library.error(); }
};

TEST_F(ClapState, SaveLoadSaveGivesTheSameBytesWhateverTheChunks) {
    ClapInstance a(library);
    ASSERT_TRUE(a.plugin());
    ASSERT_TRUE(a.loadPreset("1"));
    a.flush({{0, 1, 0.123}, {0, 8, 1.0}, {0, 9, 1.0}, {0, 5, 0.77}});
    const std::optional<Bytes> saved = a.save();
    ASSERT_TRUE(saved);
    for (const std::size_t chunk :
         {std::size_t{1}, std::size_t{3}, std::size_t{7}, saved->size()}) {
        SCOPED_TRACE("chunks of " + std::to_string(chunk));
        EXPECT_EQ(a.save(chunk), saved);
        ClapInstance b(library);
        ASSERT_TRUE(b.plugin());
        ASSERT_TRUE(b.load(*saved, chunk));
        EXPECT_EQ(b.save(chunk), saved);
        for (clap_id id = 0; id < 10; ++id) {
            EXPECT_EQ(b.value(id), a.value(id)) << "parameter " << id;
        }
        // The host learns of the new values, and a loaded project is not an edited one.
        const ClapInstance::Calls calls = b.calls();
        ASSERT_EQ(calls.rescans.size(), 1u);
        EXPECT_TRUE(calls.rescans[0] & CLAP_PARAM_RESCAN_VALUES);
        EXPECT_EQ(calls.markDirty, 0);
    }
}

TEST_F(ClapState, RefusedStreamsKeepTheStateThePedalHad) {
    ClapInstance clap(library);
    ASSERT_TRUE(clap.plugin());
    ASSERT_TRUE(clap.loadPreset("3"));
    clap.flush({{0, 0, 0.31}});
    const std::optional<Bytes> before = clap.save();
    ASSERT_TRUE(before);

    Bytes garbage(kVersion1.size());
    for (std::size_t i = 0; i < garbage.size(); ++i) {
        garbage[i] = static_cast<std::uint8_t>(i * 37 + 11);
    }
    Bytes magicThenGarbage = garbage;
    std::memcpy(magicThenGarbage.data(), "GRVX\x01\0\0\0", 8);
    Bytes version2 = kVersion1;
    version2[4] = 2;
    Bytes longer = kVersion1;
    longer.push_back(0);
    const std::pair<const char*, Bytes> refused[] = {
        {"empty", {}},           {"short", {kVersion1.begin(), kVersion1.end() - 1}},
        {"garbage", garbage},    {"garbage after the header", magicThenGarbage},
        {"version 2", version2}, {"longer", longer}};
    for (const auto& [what, bytes] : refused) {
        for (const std::size_t chunk : {std::size_t{1}, kVersion1.size() + 8}) {
            SCOPED_TRACE(std::string(what) + ", chunks of " + std::to_string(chunk));
            clap.clearCalls();
            EXPECT_FALSE(clap.load(bytes, chunk));
            EXPECT_EQ(clap.save(), before);
            EXPECT_TRUE(clap.calls().rescans.empty());
        }
    }
}

TEST_F(ClapState, TheReleasedVersionOneLayoutLoads) {
    ClapInstance clap(library);
    ASSERT_TRUE(clap.plugin());
    ASSERT_TRUE(clap.load(kVersion1, 5));
    EXPECT_EQ(clap.value(1), static_cast<double>(0.3f));
    EXPECT_EQ(clap.value(0), static_cast<double>(0.65f));
    const std::optional<Bytes> saved = clap.save();
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, kVersion1) << "program 2 with Distortion at 0.3, written back unchanged";
}

// ---- Presets --------------------------------------------------------------------------------

// An indexer and a metadata receiver that keep what the provider declares.
struct Listing {
    std::vector<clap_preset_discovery_location_t> locations;
    struct Preset {
        std::string name, key, pluginAbi, pluginId;
        std::uint32_t flags = 0;
    };
    std::vector<Preset> presets;

    clap_preset_discovery_indexer_t indexer{};
    clap_preset_discovery_metadata_receiver_t receiver{};

    Listing() {
        indexer.clap_version = CLAP_VERSION;
        indexer.name = "tests";
        indexer.vendor = "Keldwyn";
        indexer.url = "";
        indexer.version = "1";
        indexer.indexer_data = this;
        indexer.declare_filetype = [](const clap_preset_discovery_indexer_t*,
                                      const clap_preset_discovery_filetype_t*) { return true; };
        indexer.declare_location = [](const clap_preset_discovery_indexer_t* i,
                                      const clap_preset_discovery_location_t* l) {
            static_cast<Listing*>(i->indexer_data)->locations.push_back(*l);
            return true;
        };
        indexer.declare_soundpack = [](const clap_preset_discovery_indexer_t*,
                                       const clap_preset_discovery_soundpack_t*) { return true; };
        indexer.get_extension = [](const clap_preset_discovery_indexer_t*,
                                   const char*) -> const void* { return nullptr; };
        receiver.receiver_data = this;
        receiver.on_error = [](const clap_preset_discovery_metadata_receiver_t*, std::int32_t,
                               const char*) {};
        receiver.begin_preset = [](const clap_preset_discovery_metadata_receiver_t* r,
                                   const char* name, const char* key) {
            self(r).presets.push_back({name ? name : "", key ? key : "", "", "", 0});
            return true;
        };
        receiver.add_plugin_id = [](const clap_preset_discovery_metadata_receiver_t* r,
                                    const clap_universal_plugin_id_t* id) {
            self(r).presets.back().pluginAbi = id->abi;
            self(r).presets.back().pluginId = id->id;
        };
        receiver.set_soundpack_id = [](const clap_preset_discovery_metadata_receiver_t*,
                                       const char*) {};
        receiver.set_flags = [](const clap_preset_discovery_metadata_receiver_t* r,
                                std::uint32_t flags) { self(r).presets.back().flags = flags; };
        receiver.add_creator = [](const clap_preset_discovery_metadata_receiver_t*, const char*) {};
        receiver.set_description = [](const clap_preset_discovery_metadata_receiver_t*,
                                      const char*) {};
        receiver.set_timestamps = [](const clap_preset_discovery_metadata_receiver_t*,
                                     clap_timestamp, clap_timestamp) {};
        receiver.add_feature = [](const clap_preset_discovery_metadata_receiver_t*, const char*) {};
        receiver.add_extra_info = [](const clap_preset_discovery_metadata_receiver_t*, const char*,
                                     const char*) {};
    }
    static Listing& self(const clap_preset_discovery_metadata_receiver_t* r) {
        return *static_cast<Listing*>(r->receiver_data);
    }
};

TEST_F(ClapState, TheFactoryProgramsAreListedAndLoadLikeTheVstPrograms) {
    const auto* factory = static_cast<const clap_preset_discovery_factory_t*>(
        library.factory(CLAP_PRESET_DISCOVERY_FACTORY_ID));
    ASSERT_NE(factory, nullptr);
    ASSERT_EQ(factory->count(factory), 1u);
    const clap_preset_discovery_provider_descriptor_t* descriptor =
        factory->get_descriptor(factory, 0);
    ASSERT_NE(descriptor, nullptr);

    Listing listing;
    EXPECT_EQ(factory->create(factory, &listing.indexer, "no.such.provider"), nullptr);
    const clap_preset_discovery_provider_t* provider =
        factory->create(factory, &listing.indexer, descriptor->id);
    ASSERT_NE(provider, nullptr);
    ASSERT_TRUE(provider->init(provider));
    ASSERT_EQ(listing.locations.size(), 1u);
    const clap_preset_discovery_location_t location = listing.locations[0];
    EXPECT_EQ(location.kind, static_cast<std::uint32_t>(CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN));
    EXPECT_EQ(location.location, nullptr);
    ASSERT_TRUE(
        provider->get_metadata(provider, location.kind, location.location, &listing.receiver));
    provider->destroy(provider);

    const char* const names[] = {"Vorn", "Hi-Gain", "TS", "Gritty"};
    ASSERT_EQ(listing.presets.size(), std::size(names));
    RecordingHost host;
    PluginLibrary vstLibrary(GRAVELIX_PLUGIN);
    ASSERT_TRUE(vstLibrary.loaded());
    for (std::size_t p = 0; p < std::size(names); ++p) {
        const Listing::Preset& preset = listing.presets[p];
        SCOPED_TRACE(preset.name);
        EXPECT_EQ(preset.name, names[p]);
        EXPECT_EQ(preset.pluginAbi, "clap");
        EXPECT_EQ(preset.pluginId, library.pluginId());
        EXPECT_TRUE(preset.flags & CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT);

        ClapInstance clap(library);
        ASSERT_TRUE(clap.plugin());
        const auto* load = clap.extension<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD);
        ASSERT_NE(load, nullptr);
        clap.flush({{0, 1, 0.01}}); // an edit the preset replaces
        ASSERT_TRUE(load->from_location(clap.plugin(), location.kind, location.location,
                                        preset.key.c_str()));
        Plugin vst(vstLibrary, 44100.0f);
        ASSERT_TRUE(vst.ok());
        vst.loadProgram(static_cast<int>(p));
        for (int i = 0; i < 10; ++i) {
            EXPECT_EQ(clap.value(static_cast<clap_id>(i)),
                      clapValue(i, vst.effect->getParameter(vst.effect, i)))
                << "parameter " << i;
        }
        const ClapInstance::Calls calls = clap.calls();
        ASSERT_EQ(calls.rescans.size(), 1u);
        EXPECT_TRUE(calls.rescans[0] & CLAP_PARAM_RESCAN_VALUES);
        EXPECT_EQ(calls.markDirty, 1);
    }
}

TEST_F(ClapState, KeysThatWereNotListedAreRefused) {
    ClapInstance clap(library);
    ASSERT_TRUE(clap.plugin());
    ASSERT_TRUE(clap.loadPreset("2"));
    const std::optional<Bytes> before = clap.save();
    const auto* load = clap.extension<clap_plugin_preset_load_t>(CLAP_EXT_PRESET_LOAD);
    ASSERT_NE(load, nullptr);
    for (const char* key : {"", "4", "-1", "1x", "x", " 1", "+1", "01", "4294967296",
                            "18446744073709551617", "0x1"}) {
        EXPECT_FALSE(clap.loadPreset(key)) << '"' << key << '"';
    }
    EXPECT_FALSE(clap.loadPreset(nullptr));
    EXPECT_FALSE(
        load->from_location(clap.plugin(), CLAP_PRESET_DISCOVERY_LOCATION_FILE, "/tmp/1", "1"));
    EXPECT_EQ(clap.save(), before);
}

} // namespace

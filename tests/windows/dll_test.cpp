// Guards against a GRAVELIX.dll that a Windows host cannot load or use: entry points missing or
// apart, or images missing from (or different in) the module's PNG resources, or
// GRAVELIXHQ.dll carrying the plain pedal's panels instead of its own.
#include "pluginlibrary.h"
#include "recordinghost.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <fstream>
#include <iterator>
#include <sstream>
#include <string>
#include <vector>

namespace {

std::vector<char> fileBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(file), {}};
}

TEST(Dll, LoadsAndAnswersLikeAPlugin) {
    PluginLibrary library(GRAVELIX_PLUGIN);
    ASSERT_TRUE(library.loaded()) << library.error();
    const auto entry = library.entry("VSTPluginMain");
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(entry, library.entry("main"));

    RecordingHost host;
    AEffect* effect = entry(host.callback());
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(effect->numParams, 10);
    EXPECT_EQ(effect->numPrograms, 4);
    EXPECT_NE(effect->flags & effFlagsHasEditor, 0);
    char name[65] = {};
    effect->dispatcher(effect, effGetEffectName, 0, 0, name, 0.0f);
    EXPECT_STREQ(name, "Gravelix x64");
    EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);

    host.setAnswer(audioMasterVersion, 0);
    EXPECT_EQ(entry(host.callback()), nullptr);
}

// The module carries each image of its editor list under its id, byte for byte.
void expectResourcesOfList(const char* plugin, const std::string& listName) {
    PluginLibrary library(plugin);
    ASSERT_TRUE(library.loaded()) << library.error();
    const auto module = static_cast<HMODULE>(library.nativeHandle());

    std::ifstream list(std::string(GRAVELIX_RESOURCE_DIR) + "/" + listName);
    ASSERT_TRUE(list.good()) << listName;
    int images = 0;
    for (std::string line; std::getline(list, line);) {
        std::istringstream fields(line.substr(0, line.find('#')));
        int id = 0;
        std::string type, file;
        if (!(fields >> id >> type >> file)) {
            continue;
        }
        ++images;
        HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(id), L"PNG");
        ASSERT_NE(found, nullptr) << "no PNG resource " << id;
        HGLOBAL loaded = LoadResource(module, found);
        ASSERT_NE(loaded, nullptr);
        const auto* data = static_cast<const char*>(LockResource(loaded));
        const std::vector<char> resource(data, data + SizeofResource(module, found));
        EXPECT_EQ(resource, fileBytes(std::string(GRAVELIX_RESOURCE_DIR) + "/" + file))
            << "resource " << id << " differs from " << file;
    }
    // The nine images and their 2x variants (ids + 100), nothing beyond either range.
    EXPECT_EQ(images, 18);
    EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(10), L"PNG"), nullptr);
    EXPECT_EQ(FindResourceW(module, MAKEINTRESOURCEW(110), L"PNG"), nullptr);
}

TEST(Dll, CarriesTheEditorImagesAsPngResources) {
    expectResourcesOfList(GRAVELIX_PLUGIN, "resources.list");
}

// The same ids with the panels that carry the "HQ" mark.
TEST(Dll, HqCarriesItsMarkedPanelsUnderTheSameIds) {
    expectResourcesOfList(GRAVELIX_HQ_PLUGIN, "resources_hq.list");
}

} // namespace

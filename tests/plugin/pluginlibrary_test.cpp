// Guards against a built plug-in that a host cannot load, that leaks internal symbols into the
// host's namespace, or whose two entry names lead to different code.
#include "recordinghost.h"

#include <gtest/gtest.h>

#include <dlfcn.h>
#include <elf.h>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

using EntryPoint = AEffect* (*)(audioMasterCallback);

// Names of the symbols the library defines in its dynamic symbol table.
std::set<std::string> exportedSymbols(const char* path) {
    std::ifstream file(path, std::ios::binary);
    std::vector<char> image((std::istreambuf_iterator<char>(file)), {});
    std::set<std::string> names;
    if (image.size() < sizeof(Elf64_Ehdr)) {
        return names;
    }
    const auto* header = reinterpret_cast<const Elf64_Ehdr*>(image.data());
    const auto* sections = reinterpret_cast<const Elf64_Shdr*>(image.data() + header->e_shoff);
    for (int i = 0; i < header->e_shnum; ++i) {
        if (sections[i].sh_type != SHT_DYNSYM) {
            continue;
        }
        const char* strings = image.data() + sections[sections[i].sh_link].sh_offset;
        const auto* symbols =
            reinterpret_cast<const Elf64_Sym*>(image.data() + sections[i].sh_offset);
        const std::size_t count = sections[i].sh_size / sizeof(Elf64_Sym);
        for (std::size_t s = 1; s < count; ++s) {
            if (symbols[s].st_shndx != SHN_UNDEF) {
                names.insert(strings + symbols[s].st_name);
            }
        }
    }
    return names;
}

TEST(PluginLibrary, ExportsOnlyTheEntryPointUnderItsTwoNames) {
    EXPECT_EQ(exportedSymbols(GRAVELIX_PLUGIN), (std::set<std::string>{"VSTPluginMain", "main"}));
}

TEST(PluginLibrary, LoadsLikeAHostLoadsIt) {
    void* library = dlopen(GRAVELIX_PLUGIN, RTLD_NOW | RTLD_LOCAL);
    ASSERT_NE(library, nullptr) << dlerror();
    auto entry = reinterpret_cast<EntryPoint>(dlsym(library, "VSTPluginMain"));
    ASSERT_NE(entry, nullptr);
    EXPECT_EQ(reinterpret_cast<void*>(entry), dlsym(library, "main"));

    RecordingHost host;
    AEffect* effect = entry(host.callback());
    ASSERT_NE(effect, nullptr);
    EXPECT_EQ(effect->magic, kEffectMagic);
    EXPECT_EQ(host.calls().at(0).opcode, audioMasterVersion);
    EXPECT_EQ(effect->dispatcher(effect, effOpen, 0, 0, nullptr, 0.0f), 0);
    EXPECT_EQ(effect->dispatcher(effect, effClose, 0, 0, nullptr, 0.0f), 1);

    host.setAnswer(audioMasterVersion, 0);
    EXPECT_EQ(entry(host.callback()), nullptr);
    dlclose(library);
}

} // namespace

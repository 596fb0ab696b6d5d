#include "vst3plugin.h"

#include "pluginhost.h"
#include "sharedlibrary.h"
#include "vst3platform.h"

#include <pluginterfaces/vst/ivstaudioprocessor.h>

#include <chrono>
#include <cstring>
#include <filesystem>
#include <map>
#include <mutex>

namespace gravelix::host {

namespace {

using namespace Steinberg;

// How many open Vst3Plugins share each library: a library opened twice is the same module, and
// only the first open may call its entry and the last close its exit.
std::mutex modulesMutex;
std::map<void*, int> moduleUsers;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

template <std::size_t N> std::string text(const char8 (&s)[N]) {
    return std::string(s, strnlen(s, N));
}

using GetFactoryProc = IPluginFactory* (*)();

} // namespace

std::string vst3CidText(const char* tuid) {
    static const char digits[] = "0123456789ABCDEF";
    std::string out;
    for (int i = 0; i < 16; ++i) {
        const auto b = static_cast<unsigned char>(tuid[i]);
        out += digits[b >> 4];
        out += digits[b & 15];
    }
    return out;
}

bool vst3ParseCid(const std::string& text, char* tuid) {
    if (text.size() != 32) {
        return false;
    }
    auto nibble = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    for (std::size_t i = 0; i < 16; ++i) {
        const int hi = nibble(text[2 * i]), lo = nibble(text[2 * i + 1]);
        if (hi < 0 || lo < 0) {
            return false;
        }
        tuid[i] = static_cast<char>(hi * 16 + lo);
    }
    return true;
}

Vst3Plugin::Vst3Plugin(const std::string& path) : path_(path) {
    std::error_code ec;
    std::filesystem::path binary = path;
    if (std::filesystem::is_directory(path, ec)) {
        binary = vst3BundleBinary(path);
        if (!std::filesystem::is_regular_file(binary, ec)) {
            throw LoadError(LoadError::Kind::MissingFile,
                            "cannot load '" + path + "': the bundle has no " +
                                std::filesystem::relative(binary, path, ec).string());
        }
    }
    binary_ = binary.string();

    std::string reason;
    const double libraryStart = now();
    library_ = openSharedLibrary(binary_, reason);
    librarySeconds_ = now() - libraryStart;
    if (!library_) {
        throw LoadError(LoadError::Kind::NotSharedLibrary,
                        "cannot load '" + binary_ + "' as a shared library: " + reason);
    }
    const auto getFactory =
        reinterpret_cast<GetFactoryProc>(sharedLibrarySymbol(library_, "GetPluginFactory"));
    if (!getFactory) {
        release();
        throw LoadError(LoadError::Kind::NoEntryPoint,
                        "'" + binary_ + "' is not a VST3 module: it exports no GetPluginFactory");
    }

    const double entryStart = now();
    {
        std::lock_guard lock(modulesMutex);
        int& users = moduleUsers[library_];
        if (users == 0 && !vst3EnterModule(library_, reason)) {
            moduleUsers.erase(library_);
            release();
            throw LoadError(LoadError::Kind::NoEntryPoint, "'" + binary_ + "' " + reason);
        }
        ++users;
        entered_ = true;
    }
    factory_ = getFactory();
    if (!factory_) {
        release();
        throw LoadError(LoadError::Kind::NullEffect,
                        "the GetPluginFactory of '" + binary_ + "' returned no factory");
    }
    PFactoryInfo factoryInfo{};
    if (factory_->getFactoryInfo(&factoryInfo) == kResultOk) {
        vendor_ = text(factoryInfo.vendor);
    }
    FUnknownPtr<IPluginFactory2> factory2(factory_);
    const int32 count = factory_->countClasses();
    for (int32 i = 0; i < count; ++i) {
        PClassInfo2 info2{};
        PClassInfo info{};
        Vst3ClassInfo c;
        if (factory2 && factory2->getClassInfo2(i, &info2) == kResultOk) {
            if (std::strcmp(info2.category, kVstAudioEffectClass) != 0) {
                continue;
            }
            c = {vst3CidText(info2.cid), text(info2.name),          text(info2.vendor),
                 text(info2.version),    text(info2.subCategories), text(info2.sdkVersion)};
        } else if (factory_->getClassInfo(i, &info) == kResultOk) {
            if (std::strcmp(info.category, kVstAudioEffectClass) != 0) {
                continue;
            }
            c = {vst3CidText(info.cid), text(info.name), vendor_, {}, {}, {}};
        } else {
            continue;
        }
        if (c.vendor.empty()) {
            c.vendor = vendor_;
        }
        plugins_.push_back(std::move(c));
    }
    entrySeconds_ = now() - entryStart;
    if (plugins_.empty()) {
        release();
        throw LoadError(LoadError::Kind::NullEffect,
                        "'" + path + "' offers no audio class through its factory");
    }
}

Vst3Plugin::~Vst3Plugin() {
    release();
}

void Vst3Plugin::release() noexcept {
    if (factory_) {
        factory_->release();
        factory_ = nullptr;
    }
    if (entered_) {
        std::lock_guard lock(modulesMutex);
        if (--moduleUsers[library_] == 0) {
            moduleUsers.erase(library_);
            vst3ExitModule(library_);
        }
        entered_ = false;
    }
    if (library_) {
        closeSharedLibrary(library_);
        library_ = nullptr;
    }
}

std::size_t Vst3Plugin::find(const std::string& id) const {
    if (id.empty()) {
        return 0;
    }
    char wanted[16];
    const bool isCid = vst3ParseCid(id, wanted);
    for (std::size_t i = 0; i < plugins_.size(); ++i) {
        if ((isCid && vst3CidText(wanted) == plugins_[i].cid) || plugins_[i].name == id) {
            return i;
        }
    }
    std::string offered;
    for (const Vst3ClassInfo& c : plugins_) {
        offered += (offered.empty() ? "" : ", ") + c.name + " (" + c.cid + ")";
    }
    throw LoadError(LoadError::Kind::UnknownPlugin,
                    "'" + path_ + "' holds no audio class '" + id + "' (it holds " + offered + ")");
}

} // namespace gravelix::host

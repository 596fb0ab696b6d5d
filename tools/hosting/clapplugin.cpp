#include "clapplugin.h"

#include "pluginhost.h"
#include "sharedlibrary.h"

#include <chrono>
#include <map>
#include <mutex>

namespace gravelix::host {

namespace {

// How many open ClapPlugins share each entry: a library opened twice is the same entry, and
// only the first open may call init and the last close deinit.
std::mutex entriesMutex;
std::map<const clap_plugin_entry_t*, int> entryUsers;

double now() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

std::string text(const char* s) {
    return s ? s : "";
}

} // namespace

ClapPlugin::ClapPlugin(const std::string& path) : path_(path) {
    std::string reason;
    const double libraryStart = now();
    library_ = openSharedLibrary(path, reason);
    librarySeconds_ = now() - libraryStart;
    if (!library_) {
        throw LoadError(LoadError::Kind::NotSharedLibrary,
                        "cannot load '" + path + "' as a shared library: " + reason);
    }
    entry_ = static_cast<const clap_plugin_entry_t*>(sharedLibrarySymbol(library_, "clap_entry"));
    if (!entry_ || !entry_->init || !entry_->get_factory) {
        release();
        throw LoadError(LoadError::Kind::NoEntryPoint,
                        "'" + path + "' is not a CLAP plug-in: it exports no clap_entry");
    }
    if (!clap_version_is_compatible(entry_->clap_version)) {
        release();
        throw LoadError(
            LoadError::Kind::NoEntryPoint,
            "'" + path + "' was built for CLAP " + std::to_string(entry_->clap_version.major) +
                "." + std::to_string(entry_->clap_version.minor) + ", which this host cannot load");
    }

    const double entryStart = now();
    {
        std::lock_guard lock(entriesMutex);
        int& users = entryUsers[entry_];
        if (users == 0 && !entry_->init(path.c_str())) {
            entryUsers.erase(entry_);
            release();
            throw LoadError(LoadError::Kind::NullEffect,
                            "the entry of '" + path + "' refused to initialise");
        }
        ++users;
        initialised_ = true;
    }
    factory_ =
        static_cast<const clap_plugin_factory_t*>(entry_->get_factory(CLAP_PLUGIN_FACTORY_ID));
    const std::uint32_t count =
        factory_ && factory_->get_plugin_count ? factory_->get_plugin_count(factory_) : 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const clap_plugin_descriptor_t* d = factory_->get_plugin_descriptor(factory_, i);
        if (!d || !d->id) {
            continue;
        }
        ClapDescriptor c{text(d->id),
                         text(d->name),
                         text(d->vendor),
                         text(d->version),
                         text(d->description),
                         text(d->url),
                         {},
                         std::to_string(d->clap_version.major) + "." +
                             std::to_string(d->clap_version.minor) + "." +
                             std::to_string(d->clap_version.revision)};
        for (const char* const* f = d->features; f && *f; ++f) {
            c.features.emplace_back(*f);
        }
        plugins_.push_back(std::move(c));
    }
    entrySeconds_ = now() - entryStart;
    if (plugins_.empty()) {
        release();
        throw LoadError(LoadError::Kind::NullEffect,
                        "'" + path + "' offers no plug-in through its plug-in factory");
    }
}

ClapPlugin::~ClapPlugin() {
    release();
}

void ClapPlugin::release() noexcept {
    if (initialised_) {
        std::lock_guard lock(entriesMutex);
        if (--entryUsers[entry_] == 0) {
            entryUsers.erase(entry_);
            entry_->deinit();
        }
        initialised_ = false;
    }
    if (library_) {
        closeSharedLibrary(library_);
        library_ = nullptr;
    }
}

std::size_t ClapPlugin::find(const std::string& id) const {
    if (id.empty()) {
        return 0;
    }
    for (std::size_t i = 0; i < plugins_.size(); ++i) {
        if (plugins_[i].id == id) {
            return i;
        }
    }
    std::string offered;
    for (const ClapDescriptor& d : plugins_) {
        offered += (offered.empty() ? "" : ", ") + d.id;
    }
    throw LoadError(LoadError::Kind::UnknownPlugin,
                    "'" + path_ + "' holds no plug-in '" + id + "' (it holds " + offered + ")");
}

const void* ClapPlugin::factory(const char* id) const {
    return entry_->get_factory(id);
}

} // namespace gravelix::host

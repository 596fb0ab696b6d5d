// The CLAP declarations that Debian's copy of the CLAP 1.1 headers lacks: watching file
// descriptors, the tail, the host's log, and the preset-discovery factory with its preset-load
// extension (CLAP 1.2). Declared from CLAP's published interface; the ids and layouts must stay
// exactly as published, since hosts built against the real headers read them.
#pragma once

#include <clap/host.h>
#include <clap/plugin.h>
#include <clap/version.h>

#include <cstdint>

extern "C" {

// posix-fd-support
static constexpr const char CLAP_EXT_POSIX_FD_SUPPORT[] = "clap.posix-fd-support";
enum {
    CLAP_POSIX_FD_READ = 1 << 0,
    CLAP_POSIX_FD_WRITE = 1 << 1,
    CLAP_POSIX_FD_ERROR = 1 << 2,
};
typedef uint32_t clap_posix_fd_flags_t;
typedef struct clap_plugin_posix_fd_support {
    void(CLAP_ABI* on_fd)(const clap_plugin_t* plugin, int fd, clap_posix_fd_flags_t flags);
} clap_plugin_posix_fd_support_t;
typedef struct clap_host_posix_fd_support {
    bool(CLAP_ABI* register_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);
    bool(CLAP_ABI* modify_fd)(const clap_host_t* host, int fd, clap_posix_fd_flags_t flags);
    bool(CLAP_ABI* unregister_fd)(const clap_host_t* host, int fd);
} clap_host_posix_fd_support_t;

// tail
static constexpr const char CLAP_EXT_TAIL[] = "clap.tail";
typedef struct clap_plugin_tail {
    uint32_t(CLAP_ABI* get)(const clap_plugin_t* plugin);
} clap_plugin_tail_t;
typedef struct clap_host_tail {
    void(CLAP_ABI* changed)(const clap_host_t* host);
} clap_host_tail_t;

// log
static constexpr const char CLAP_EXT_LOG[] = "clap.log";
enum {
    CLAP_LOG_DEBUG = 0,
    CLAP_LOG_INFO = 1,
    CLAP_LOG_WARNING = 2,
    CLAP_LOG_ERROR = 3,
    CLAP_LOG_FATAL = 4,
    CLAP_LOG_HOST_MISBEHAVING = 5,
    CLAP_LOG_PLUGIN_MISBEHAVING = 6,
};
typedef int32_t clap_log_severity;
typedef struct clap_host_log {
    void(CLAP_ABI* log)(const clap_host_t* host, clap_log_severity severity, const char* msg);
} clap_host_log_t;

// timestamp, universal-plugin-id
typedef uint64_t clap_timestamp;
typedef struct clap_universal_plugin_id {
    const char* abi;
    const char* id;
} clap_universal_plugin_id_t;

// preset-discovery factory
static constexpr const char CLAP_PRESET_DISCOVERY_FACTORY_ID[] = "clap.preset-discovery-factory/2";
static constexpr const char CLAP_PRESET_DISCOVERY_FACTORY_ID_COMPAT[] =
    "clap.preset-discovery-factory/draft-2";
enum clap_preset_discovery_location_kind {
    CLAP_PRESET_DISCOVERY_LOCATION_FILE = 0,
    CLAP_PRESET_DISCOVERY_LOCATION_PLUGIN = 1,
};
enum clap_preset_discovery_flags {
    CLAP_PRESET_DISCOVERY_IS_FACTORY_CONTENT = 1 << 0,
    CLAP_PRESET_DISCOVERY_IS_USER_CONTENT = 1 << 1,
    CLAP_PRESET_DISCOVERY_IS_DEMO_CONTENT = 1 << 2,
    CLAP_PRESET_DISCOVERY_IS_FAVORITE = 1 << 3,
};
typedef struct clap_preset_discovery_metadata_receiver {
    void* receiver_data;
    void(CLAP_ABI* on_error)(const struct clap_preset_discovery_metadata_receiver* receiver,
                             int32_t os_error, const char* error_message);
    bool(CLAP_ABI* begin_preset)(const struct clap_preset_discovery_metadata_receiver* receiver,
                                 const char* name, const char* load_key);
    void(CLAP_ABI* add_plugin_id)(const struct clap_preset_discovery_metadata_receiver* receiver,
                                  const clap_universal_plugin_id_t* plugin_id);
    void(CLAP_ABI* set_soundpack_id)(const struct clap_preset_discovery_metadata_receiver* receiver,
                                     const char* soundpack_id);
    void(CLAP_ABI* set_flags)(const struct clap_preset_discovery_metadata_receiver* receiver,
                              uint32_t flags);
    void(CLAP_ABI* add_creator)(const struct clap_preset_discovery_metadata_receiver* receiver,
                                const char* creator);
    void(CLAP_ABI* set_description)(const struct clap_preset_discovery_metadata_receiver* receiver,
                                    const char* description);
    void(CLAP_ABI* set_timestamps)(const struct clap_preset_discovery_metadata_receiver* receiver,
                                   clap_timestamp creation_time, clap_timestamp modification_time);
    void(CLAP_ABI* add_feature)(const struct clap_preset_discovery_metadata_receiver* receiver,
                                const char* feature);
    void(CLAP_ABI* add_extra_info)(const struct clap_preset_discovery_metadata_receiver* receiver,
                                   const char* key, const char* value);
} clap_preset_discovery_metadata_receiver_t;
typedef struct clap_preset_discovery_filetype {
    const char* name;
    const char* description;
    const char* file_extension;
} clap_preset_discovery_filetype_t;
typedef struct clap_preset_discovery_location {
    uint32_t flags;
    const char* name;
    uint32_t kind;
    const char* location;
} clap_preset_discovery_location_t;
typedef struct clap_preset_discovery_soundpack {
    uint32_t flags;
    const char* id;
    const char* name;
    const char* description;
    const char* homepage_url;
    const char* vendor;
    const char* image_path;
    clap_timestamp release_timestamp;
} clap_preset_discovery_soundpack_t;
typedef struct clap_preset_discovery_provider_descriptor {
    clap_version_t clap_version;
    const char* id;
    const char* name;
    const char* vendor;
} clap_preset_discovery_provider_descriptor_t;
typedef struct clap_preset_discovery_provider {
    const clap_preset_discovery_provider_descriptor_t* desc;
    void* provider_data;
    bool(CLAP_ABI* init)(const struct clap_preset_discovery_provider* provider);
    void(CLAP_ABI* destroy)(const struct clap_preset_discovery_provider* provider);
    bool(CLAP_ABI* get_metadata)(
        const struct clap_preset_discovery_provider* provider, uint32_t location_kind,
        const char* location, const clap_preset_discovery_metadata_receiver_t* metadata_receiver);
    const void*(CLAP_ABI* get_extension)(const struct clap_preset_discovery_provider* provider,
                                         const char* extension_id);
} clap_preset_discovery_provider_t;
typedef struct clap_preset_discovery_indexer {
    clap_version_t clap_version;
    const char* name;
    const char* vendor;
    const char* url;
    const char* version;
    void* indexer_data;
    bool(CLAP_ABI* declare_filetype)(const struct clap_preset_discovery_indexer* indexer,
                                     const clap_preset_discovery_filetype_t* filetype);
    bool(CLAP_ABI* declare_location)(const struct clap_preset_discovery_indexer* indexer,
                                     const clap_preset_discovery_location_t* location);
    bool(CLAP_ABI* declare_soundpack)(const struct clap_preset_discovery_indexer* indexer,
                                      const clap_preset_discovery_soundpack_t* soundpack);
    const void*(CLAP_ABI* get_extension)(const struct clap_preset_discovery_indexer* indexer,
                                         const char* extension_id);
} clap_preset_discovery_indexer_t;
typedef struct clap_preset_discovery_factory {
    uint32_t(CLAP_ABI* count)(const struct clap_preset_discovery_factory* factory);
    const clap_preset_discovery_provider_descriptor_t*(CLAP_ABI* get_descriptor)(
        const struct clap_preset_discovery_factory* factory, uint32_t index);
    const clap_preset_discovery_provider_t*(CLAP_ABI* create)(
        const struct clap_preset_discovery_factory* factory,
        const clap_preset_discovery_indexer_t* indexer, const char* provider_id);
} clap_preset_discovery_factory_t;

// preset-load, how a host loads what the factory listed
static constexpr const char CLAP_EXT_PRESET_LOAD[] = "clap.preset-load/2";
static constexpr const char CLAP_EXT_PRESET_LOAD_COMPAT[] = "clap.preset-load.draft/2";
typedef struct clap_plugin_preset_load {
    bool(CLAP_ABI* from_location)(const clap_plugin_t* plugin, uint32_t location_kind,
                                  const char* location, const char* load_key);
} clap_plugin_preset_load_t;
typedef struct clap_host_preset_load {
    void(CLAP_ABI* on_error)(const clap_host_t* host, uint32_t location_kind, const char* location,
                             const char* load_key, int32_t os_error, const char* msg);
    void(CLAP_ABI* loaded)(const clap_host_t* host, uint32_t location_kind, const char* location,
                           const char* load_key);
} clap_host_preset_load_t;

} // extern "C"

// The image bytes compiled into this module, found by type and numeric id.
#pragma once

#include <cstdint>

namespace Toolkit::LinuxPlatform {

// One embedded file. The generated table is an array of these ended by an entry whose type is
// null; it lives in the module that links it, so a lookup never sees another plug-in's images.
// The generator decodes every PNG once at build time and records its pixel size, so a bitmap
// knows its size (and that it will decode) without decoding at run time.
struct ResourceEntry {
    const char* type;
    std::int32_t id;
    const unsigned char* data;
    std::uint32_t size;
    // Pixel size of a PNG that decodes; 0 x 0 for one that does not and for other types.
    std::uint32_t width;
    std::uint32_t height;
};

struct ResourceBytes {
    const unsigned char* data = nullptr;
    std::uint32_t size = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;

    explicit operator bool() const { return data != nullptr; }
};

// The bytes of the resource (type, id), or empty when this module carries no such resource or no
// table at all. Ids are 16-bit resource ids: anything outside 1..65535 is never found.
ResourceBytes findResource(const char* type, std::int32_t id);

} // namespace Toolkit::LinuxPlatform

// Emitted by the resource generator (gravelix_add_resource_table in CMake). Declared weak so that
// a program without images still links and simply finds nothing.
extern "C" const Toolkit::LinuxPlatform::ResourceEntry gravelix_resource_table[]
    __attribute__((weak, visibility("hidden")));

// The image bytes compiled into this module, found by type and numeric id.
#pragma once

#include <cstdint>

namespace Toolkit::LinuxPlatform {

// A band of rows of an image, embedded as a PNG of its own.
struct ResourceSlice {
    const unsigned char* data;
    std::uint32_t size;
};

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
    // A PNG listed with a number of slices is embedded as that many PNGs of equal height, top
    // to bottom (data is then null), each decoding without the others: a filmstrip's pictures,
    // or a panel's bands.
    std::uint32_t sliceCount;
    const ResourceSlice* slices;
};

struct ResourceBytes {
    const unsigned char* data = nullptr;
    std::uint32_t size = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
    std::uint32_t sliceCount = 0;
    const ResourceSlice* slices = nullptr;

    explicit operator bool() const { return data != nullptr || sliceCount > 0; }
};

// The bytes of the resource (type, id), or empty when this module carries no such resource or no
// table at all. Ids are 16-bit resource ids: anything outside 1..65535 is never found.
ResourceBytes findResource(const char* type, std::int32_t id);

} // namespace Toolkit::LinuxPlatform

// Emitted by the resource generator (gravelix_add_resource_table in CMake). Declared weak so that
// a program without images still links and simply finds nothing.
extern "C" const Toolkit::LinuxPlatform::ResourceEntry gravelix_resource_table[]
    __attribute__((weak, visibility("hidden")));

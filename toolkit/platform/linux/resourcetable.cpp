#include "resourcetable.h"

#include <cstring>

namespace Toolkit::LinuxPlatform {

ResourceBytes findResource(const char* type, std::int32_t id) {
    if (type == nullptr || id < 1 || id > 0xFFFF || gravelix_resource_table == nullptr) {
        return {};
    }
    for (const ResourceEntry* e = gravelix_resource_table; e->type != nullptr; ++e) {
        if (e->id == id && std::strcmp(e->type, type) == 0) {
            return {e->data, e->size, e->width, e->height, e->sliceCount, e->slices};
        }
    }
    return {};
}

} // namespace Toolkit::LinuxPlatform

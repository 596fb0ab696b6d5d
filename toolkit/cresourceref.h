#pragma once

#include <cstdint>
#include <string>

namespace Toolkit {

// Where an image comes from: a numeric resource id (the editor uses 1..9) or a name.
class CResourceRef {
public:
    enum Kind : std::int32_t { kNumeric = 0, kNamed = 1, kNone = 2 };

    CResourceRef() = default;
    CResourceRef(std::int32_t resourceId) : refKind(kNumeric), resId(resourceId) {}
    CResourceRef(const char* resourceName)
        : refKind(resourceName ? kNamed : kNone), resName(resourceName ? resourceName : "") {}

    Kind kind() const { return refKind; }
    std::int32_t id() const { return resId; }
    const std::string& name() const { return resName; }

private:
    Kind refKind = kNone;
    std::int32_t resId = 0;
    std::string resName;
};

} // namespace Toolkit

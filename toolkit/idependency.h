#pragma once

#include "cbaseobject.h"

#include <cstdint>
#include <vector>

namespace Toolkit {

// Objects told by message about changes of their owner. While notifications are deferred the
// messages are only collected, and each is sent once when the deferral ends.
class IDependency {
public:
    virtual ~IDependency() = default;

    // Not owned; a dependent removes itself before it goes away.
    void addDependent(CBaseObject* object);
    void removeDependent(CBaseObject* object);
    // With no dependents and no deferral this touches no memory it does not own already.
    void notifyDependents(IdStringPtr message);
    void deferNotifications(bool defer);
    std::size_t dependentCount() const { return dependents.size(); }

private:
    std::vector<CBaseObject*> dependents;
    std::vector<IdStringPtr> deferred;
    std::int32_t deferCount = 0;
};

} // namespace Toolkit

#include "idependency.h"

#include <algorithm>

namespace Toolkit {

void IDependency::addDependent(CBaseObject* object) {
    if (object && std::find(dependents.begin(), dependents.end(), object) == dependents.end()) {
        dependents.push_back(object);
    }
}

void IDependency::removeDependent(CBaseObject* object) {
    dependents.erase(std::remove(dependents.begin(), dependents.end(), object), dependents.end());
}

void IDependency::notifyDependents(IdStringPtr message) {
    if (dependents.empty()) {
        return;
    }
    if (deferCount > 0) {
        if (std::find(deferred.begin(), deferred.end(), message) == deferred.end()) {
            deferred.push_back(message);
        }
        return;
    }
    auto* sender = dynamic_cast<CBaseObject*>(this);
    // A dependent may remove itself while being told.
    const std::vector<CBaseObject*> snapshot = dependents;
    for (CBaseObject* d : snapshot) {
        if (std::find(dependents.begin(), dependents.end(), d) != dependents.end()) {
            d->handleMessage(sender, message);
        }
    }
}

void IDependency::deferNotifications(bool defer) {
    if (defer) {
        ++deferCount;
        return;
    }
    if (deferCount == 0 || --deferCount > 0) {
        return;
    }
    std::vector<IdStringPtr> pending;
    pending.swap(deferred);
    for (IdStringPtr message : pending) {
        notifyDependents(message);
    }
}

} // namespace Toolkit

#include "cbaseobject.h"

#include <cstring>

namespace Toolkit {

const IdStringPtr kMsgViewSizeChanged = "kMsgViewSizeChanged";
const IdStringPtr kMsgCheckIfViewContainer = "kMsgCheckIfViewContainer";
const IdStringPtr kMsgNewFocusView = "kMsgNewFocusView";
const IdStringPtr kMsgOldFocusView = "kMsgOldFocusView";
const IdStringPtr kMsgTimer = "timer fired";

void CBaseObject::releaseReference() {
    if (--refCount == 0) {
        delete this;
    }
}

MessageResult CBaseObject::handleMessage(CBaseObject*, IdStringPtr) {
    return messageUnknown;
}

bool CBaseObject::isKindOf(const char* className) const {
    return nameIs(className, "CBaseObject");
}

bool CBaseObject::nameIs(const char* className, const char* ownName) {
    return className && std::strcmp(className, ownName) == 0;
}

} // namespace Toolkit

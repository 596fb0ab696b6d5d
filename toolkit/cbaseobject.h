#pragma once

#include <cstdint>

namespace Toolkit {

// Message identifiers are compared by address, never by content.
using IdStringPtr = const char*;

extern const IdStringPtr kMsgViewSizeChanged;
extern const IdStringPtr kMsgCheckIfViewContainer;
extern const IdStringPtr kMsgNewFocusView;
extern const IdStringPtr kMsgOldFocusView;
extern const IdStringPtr kMsgTimer;

enum MessageResult : std::int32_t {
    messageUnknown = 0,
    messageNotified = 1,
};

// Reference-counted base of every shared toolkit object. The creator holds the first
// reference; every other holder takes its own; nothing shared is deleted directly.
class CBaseObject {
public:
    CBaseObject() = default;
    CBaseObject(const CBaseObject&) : CBaseObject() {}
    CBaseObject& operator=(const CBaseObject&) { return *this; }

    virtual ~CBaseObject() = default;
    virtual void releaseReference();
    virtual void addReference() { ++refCount; }
    virtual std::int32_t referenceCount() const { return refCount; }
    virtual MessageResult handleMessage(CBaseObject* sender, IdStringPtr message);
    virtual bool isKindOf(const char* className) const;
    virtual CBaseObject* clone() const { return nullptr; }

protected:
    static bool nameIs(const char* className, const char* ownName);

private:
    std::int32_t refCount = 1;
};

// Holds one reference for the lifetime of a scope (null allowed).
template <class T> class SharedGuard {
public:
    explicit SharedGuard(T* object) : obj(object) {
        if (obj) {
            obj->addReference();
        }
    }
    ~SharedGuard() {
        if (obj) {
            obj->releaseReference();
        }
    }
    SharedGuard(const SharedGuard&) = delete;
    SharedGuard& operator=(const SharedGuard&) = delete;
    T* get() const { return obj; }
    T* operator->() const { return obj; }

private:
    T* obj;
};

} // namespace Toolkit

#include "droptarget.h"

#include "platform/iplatformframe.h"

namespace Toolkit::Win32Platform {

namespace {
// Copy when the source allows it, else move, else link.
void chooseEffect(DWORD* effect) {
    if (!effect) {
        return;
    }
    if (*effect & DROPEFFECT_COPY) {
        *effect = DROPEFFECT_COPY;
    } else if (*effect & DROPEFFECT_MOVE) {
        *effect = DROPEFFECT_MOVE;
    } else if (*effect & DROPEFFECT_LINK) {
        *effect = DROPEFFECT_LINK;
    } else {
        *effect = DROPEFFECT_NONE;
    }
}
} // namespace

DropTarget::DropTarget(IPlatformFrame* platformFrame, IPlatformFrameCallback* frameCallback)
    : frame(platformFrame), callback(frameCallback) {}

HRESULT STDMETHODCALLTYPE DropTarget::QueryInterface(REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE DropTarget::AddRef() {
    return static_cast<ULONG>(InterlockedIncrement(&references));
}

ULONG STDMETHODCALLTYPE DropTarget::Release() {
    const LONG left = InterlockedDecrement(&references);
    if (left == 0) {
        delete this;
    }
    return static_cast<ULONG>(left);
}

CPoint DropTarget::pointer() const {
    CPoint where;
    frame->mousePosition(where);
    return where;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragEnter(IDataObject*, DWORD, POINTL, DWORD* effect) {
    callback->platformDragEnter(nullptr, pointer());
    chooseEffect(effect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragOver(DWORD, POINTL, DWORD* effect) {
    callback->platformDragMove(nullptr, pointer());
    chooseEffect(effect);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::DragLeave() {
    callback->platformDragLeave(nullptr, pointer());
    return S_OK;
}

HRESULT STDMETHODCALLTYPE DropTarget::Drop(IDataObject*, DWORD, POINTL, DWORD* effect) {
    callback->platformDrop(nullptr, pointer());
    chooseEffect(effect);
    return S_OK;
}

} // namespace Toolkit::Win32Platform

// The OLE drop target of an editor window.
#pragma once

#include "cpoint.h"

#include <ole2.h>

namespace Toolkit {
class IPlatformFrame;
class IPlatformFrameCallback;
} // namespace Toolkit

namespace Toolkit::Win32Platform {

// Forwards enter, over, leave and drop to the frame at the current mouse position. The
// toolkit has no drag payloads yet, so the frame receives no data package (null); nothing in
// the pedal accepts drops. COM-counted: OLE holds it from RegisterDragDrop to RevokeDragDrop,
// and the platform frame must revoke it before it goes.
class DropTarget : public IDropTarget {
public:
    DropTarget(IPlatformFrame* frame, IPlatformFrameCallback* callback);

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL where,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL where, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL where,
                                   DWORD* effect) override;

private:
    virtual ~DropTarget() = default;
    CPoint pointer() const;

    LONG references = 1;
    IPlatformFrame* frame;
    IPlatformFrameCallback* callback;
};

} // namespace Toolkit::Win32Platform

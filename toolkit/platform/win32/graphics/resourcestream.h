// A read-only IStream over one of the module's embedded resources, to hand PNG bytes to the
// GDI+ and imaging decoders without copying them.
#pragma once

#include "cresourceref.h"

#include <atomic>
#include <cstdint>

#include <objidl.h>
#include <windows.h>

namespace Toolkit::Win32Platform {

class ResourceStream : public IStream {
public:
    // The resource of type "PNG" with that id (1..65535; any other id is never found, rather
    // than truncated to another image's id) or name in `module`; null when missing. One
    // reference for the caller.
    static ResourceStream* open(HMODULE module, const CResourceRef& resource);

    // Streams over `size` bytes at `data`, which must outlive the stream; reference count 1.
    ResourceStream(const void* data, std::uint32_t size);

    // IUnknown: answers for IUnknown, ISequentialStream and IStream only.
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    // Reads up to `count` bytes; S_FALSE with 0 bytes at the end.
    HRESULT STDMETHODCALLTYPE Read(void* buffer, ULONG count, ULONG* read) override;
    // Moves only to positions inside the data (0 .. size - 1): a seek to the end or past it is
    // refused with S_FALSE and the position kept, as is any seek relative to the end.
    HRESULT STDMETHODCALLTYPE Seek(LARGE_INTEGER distance, DWORD origin,
                                   ULARGE_INTEGER* newPosition) override;
    // A zeroed record carrying only the size.
    HRESULT STDMETHODCALLTYPE Stat(STATSTG* stat, DWORD flags) override;
    // Back to position 0.
    HRESULT STDMETHODCALLTYPE Revert() override;

    // Read-only: everything else answers E_NOTIMPL.
    HRESULT STDMETHODCALLTYPE Write(const void*, ULONG, ULONG*) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*,
                                     ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Commit(DWORD) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override {
        return E_NOTIMPL;
    }
    HRESULT STDMETHODCALLTYPE Clone(IStream**) override { return E_NOTIMPL; }

    std::uint32_t position() const { return pos; }
    std::uint32_t size() const { return length; }

private:
    virtual ~ResourceStream() = default;

    const unsigned char* bytes;
    std::uint32_t pos = 0;
    std::uint32_t length;
    // Decoders may hand the stream to a worker thread of their own.
    std::atomic<ULONG> references{1};
};

} // namespace Toolkit::Win32Platform

#include "resourcestream.h"

#include <cstring>

namespace Toolkit::Win32Platform {

ResourceStream* ResourceStream::open(HMODULE module, const CResourceRef& resource) {
    HRSRC found = nullptr;
    if (resource.kind() == CResourceRef::kNumeric) {
        if (resource.id() < 1 || resource.id() > 0xFFFF) {
            return nullptr;
        }
        found = FindResourceA(module, MAKEINTRESOURCEA(resource.id()), "PNG");
    } else if (resource.kind() == CResourceRef::kNamed && !resource.name().empty()) {
        found = FindResourceA(module, resource.name().c_str(), "PNG");
    }
    if (!found) {
        return nullptr;
    }
    const DWORD size = SizeofResource(module, found);
    HGLOBAL loaded = LoadResource(module, found);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data) {
        return nullptr;
    }
    return new ResourceStream(data, size);
}

ResourceStream::ResourceStream(const void* data, std::uint32_t size)
    : bytes(static_cast<const unsigned char*>(data)), length(data ? size : 0) {}

HRESULT ResourceStream::QueryInterface(REFIID iid, void** object) {
    if (!object) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_ISequentialStream) ||
        IsEqualIID(iid, IID_IStream)) {
        *object = static_cast<IStream*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG ResourceStream::AddRef() {
    return ++references;
}

ULONG ResourceStream::Release() {
    const ULONG left = --references;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT ResourceStream::Read(void* buffer, ULONG count, ULONG* read) {
    const std::uint32_t n = count < length - pos ? count : length - pos;
    if (n == 0 || !buffer) {
        if (read) {
            *read = 0;
        }
        return S_FALSE;
    }
    std::memcpy(buffer, bytes + pos, n);
    pos += n;
    if (read) {
        *read = n;
    }
    return S_OK;
}

HRESULT ResourceStream::Seek(LARGE_INTEGER distance, DWORD origin, ULARGE_INTEGER* newPosition) {
    std::int64_t target = 0;
    switch (origin) {
    case STREAM_SEEK_SET:
        target = distance.QuadPart;
        break;
    case STREAM_SEEK_CUR:
        target = static_cast<std::int64_t>(pos) + distance.QuadPart;
        break;
    case STREAM_SEEK_END:
        target = -1; // never allowed
        break;
    default:
        return STG_E_INVALIDFUNCTION;
    }
    const bool allowed = target >= 0 && target < static_cast<std::int64_t>(length);
    if (allowed) {
        pos = static_cast<std::uint32_t>(target);
    }
    // A refused seek reports where the stream still is, so a caller that ignores the answer
    // does not read an uninitialised position.
    if (newPosition) {
        newPosition->QuadPart = pos;
    }
    return allowed ? S_OK : S_FALSE;
}

HRESULT ResourceStream::Stat(STATSTG* stat, DWORD) {
    if (!stat) {
        return STG_E_INVALIDPOINTER;
    }
    *stat = STATSTG{};
    stat->cbSize.QuadPart = length;
    return S_OK;
}

HRESULT ResourceStream::Revert() {
    pos = 0;
    return S_OK;
}

} // namespace Toolkit::Win32Platform

// Guards against a resource stream that lets a decoder read or seek outside the embedded bytes,
// or finds an image under the wrong type or a truncated id.
#include "graphics/resourcestream.h"
#include "window/modulehandle.h"

#include <gtest/gtest.h>

#include <cstring>
#include <vector>

using Toolkit::CResourceRef;
using Toolkit::Win32Platform::moduleHandle;
using Toolkit::Win32Platform::ResourceStream;

namespace {

// The stream of resource 2 (the resource list: plain bytes), with its real bytes beside it.
struct Opened {
    ResourceStream* stream = ResourceStream::open(moduleHandle(), CResourceRef(2));
    std::vector<unsigned char> bytes;

    Opened() {
        HRSRC found = FindResourceA(moduleHandle(), MAKEINTRESOURCEA(2), "PNG");
        auto* data =
            static_cast<const unsigned char*>(LockResource(LoadResource(moduleHandle(), found)));
        bytes.assign(data, data + SizeofResource(moduleHandle(), found));
    }
    ~Opened() {
        if (stream) {
            stream->Release();
        }
    }
};

HRESULT seek(IStream* stream, LONGLONG distance, DWORD origin, ULONGLONG* position = nullptr) {
    LARGE_INTEGER move{};
    move.QuadPart = distance;
    ULARGE_INTEGER now{};
    const HRESULT result = stream->Seek(move, origin, &now);
    if (position) {
        *position = now.QuadPart;
    }
    return result;
}

} // namespace

TEST(ResourceStream, FindsOnlyPngResourcesByTheirFullId) {
    for (const CResourceRef& missing :
         {CResourceRef(99), CResourceRef(3) /* DATA, not PNG */, CResourceRef(0),
          CResourceRef(65536 + 4) /* would be id 4 if cut to 16 bits */, CResourceRef(-4),
          CResourceRef("KNOB"), CResourceRef()}) {
        ResourceStream* stream = ResourceStream::open(moduleHandle(), missing);
        EXPECT_EQ(stream, nullptr) << "kind " << missing.kind() << " id " << missing.id();
        if (stream) {
            stream->Release();
        }
    }
    Opened listed;
    ASSERT_NE(listed.stream, nullptr);
    EXPECT_EQ(listed.stream->size(), listed.bytes.size());
}

TEST(ResourceStream, ReadsEveryByteOnceThenAnswersFalseWithNothing) {
    Opened opened;
    ASSERT_NE(opened.stream, nullptr);
    const ULONG size = opened.stream->size();
    ASSERT_GT(size, 10u);
    std::vector<unsigned char> read(size + 16, 0);
    ULONG count = 0;
    EXPECT_EQ(opened.stream->Read(read.data(), 10, &count), S_OK);
    EXPECT_EQ(count, 10u);
    // Asking for more than is left gives what is left.
    EXPECT_EQ(opened.stream->Read(read.data() + 10, size, &count), S_OK);
    EXPECT_EQ(count, size - 10);
    read.resize(size);
    EXPECT_EQ(read, opened.bytes);
    count = 123;
    EXPECT_EQ(opened.stream->Read(read.data(), 1, &count), S_FALSE);
    EXPECT_EQ(count, 0u);
    // A caller that does not want the count still reads.
    ASSERT_EQ(opened.stream->Revert(), S_OK);
    unsigned char first = 0;
    EXPECT_EQ(opened.stream->Read(&first, 1, nullptr), S_OK);
    EXPECT_EQ(first, opened.bytes[0]);
}

TEST(ResourceStream, SeeksOnlyInsideTheDataAndNeverFromTheEnd) {
    Opened opened;
    ASSERT_NE(opened.stream, nullptr);
    IStream* stream = opened.stream;
    const LONGLONG size = opened.stream->size();
    ULONGLONG at = 0;

    EXPECT_EQ(seek(stream, size - 1, STREAM_SEEK_SET, &at), S_OK);
    EXPECT_EQ(at, ULONGLONG(size - 1));
    unsigned char last = 0;
    ULONG count = 0;
    EXPECT_EQ(stream->Read(&last, 1, &count), S_OK);
    EXPECT_EQ(last, opened.bytes.back());

    EXPECT_EQ(seek(stream, 4, STREAM_SEEK_SET), S_OK);
    // Exactly the size, past it, before the start, and anything from the end: refused, and
    // the position stays where it was.
    EXPECT_EQ(seek(stream, size, STREAM_SEEK_SET, &at), S_FALSE);
    EXPECT_EQ(at, 4u);
    EXPECT_EQ(seek(stream, size - 4, STREAM_SEEK_CUR), S_FALSE);
    EXPECT_EQ(seek(stream, -5, STREAM_SEEK_CUR), S_FALSE);
    EXPECT_EQ(seek(stream, -1, STREAM_SEEK_SET), S_FALSE);
    EXPECT_EQ(seek(stream, 0, STREAM_SEEK_END), S_FALSE);
    EXPECT_EQ(seek(stream, -1, STREAM_SEEK_END), S_FALSE);
    EXPECT_EQ(opened.stream->position(), 4u);

    EXPECT_EQ(seek(stream, -4, STREAM_SEEK_CUR, &at), S_OK);
    EXPECT_EQ(at, 0u);
    EXPECT_EQ(seek(stream, 3, STREAM_SEEK_CUR, &at), S_OK);
    EXPECT_EQ(at, 3u);
    EXPECT_EQ(seek(stream, 0, 7), STG_E_INVALIDFUNCTION);

    EXPECT_EQ(stream->Revert(), S_OK);
    EXPECT_EQ(opened.stream->position(), 0u);
}

TEST(ResourceStream, IsAReadOnlyIStreamThatReportsItsSize) {
    Opened opened;
    ASSERT_NE(opened.stream, nullptr);
    IStream* stream = opened.stream;

    STATSTG stat;
    std::memset(&stat, 0xAB, sizeof stat);
    EXPECT_EQ(stream->Stat(&stat, STATFLAG_NONAME), S_OK);
    EXPECT_EQ(stat.cbSize.QuadPart, opened.bytes.size());
    EXPECT_EQ(stat.pwcsName, nullptr);
    EXPECT_EQ(stat.grfMode, 0u);

    for (REFIID iid : {IID_IUnknown, IID_ISequentialStream, IID_IStream}) {
        void* object = nullptr;
        EXPECT_EQ(stream->QueryInterface(iid, &object), S_OK);
        EXPECT_EQ(object, static_cast<IStream*>(opened.stream));
        static_cast<IUnknown*>(object)->Release();
    }
    void* object = reinterpret_cast<void*>(1);
    EXPECT_EQ(stream->QueryInterface(IID_IPersist, &object), E_NOINTERFACE);
    EXPECT_EQ(object, nullptr);

    ULONG written = 0;
    EXPECT_EQ(stream->Write("x", 1, &written), E_NOTIMPL);
    EXPECT_EQ(stream->SetSize(ULARGE_INTEGER{}), E_NOTIMPL);
    EXPECT_EQ(stream->Commit(0), E_NOTIMPL);
    IStream* clone = nullptr;
    EXPECT_EQ(stream->Clone(&clone), E_NOTIMPL);

    // One reference per holder: the stream lives until the last release.
    EXPECT_EQ(stream->AddRef(), 2u);
    EXPECT_EQ(stream->Release(), 1u);
}

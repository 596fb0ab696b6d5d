// Windows' audio endpoints as `play` sees them: listing them, choosing one by a part of its
// name, and the sample formats the player converts to and from.
#pragma once

#include <windows.h>

#include <audioclient.h>
#include <mmdeviceapi.h>

#include <stdexcept>
#include <string>
#include <vector>

namespace gravelix::host {

// An endpoint that is not there or cannot be used; the message is one line for the player.
class DeviceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Releases a COM interface when it goes.
template <class T> class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : p_(other.p_) { other.p_ = nullptr; }
    ComPtr& operator=(ComPtr&& other) noexcept {
        if (this != &other) {
            reset();
            p_ = other.p_;
            other.p_ = nullptr;
        }
        return *this;
    }
    void reset() {
        if (p_) {
            p_->Release();
            p_ = nullptr;
        }
    }
    T* get() const { return p_; }
    T* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    T** put() {
        reset();
        return &p_;
    }
    void** putVoid() { return reinterpret_cast<void**>(put()); }

private:
    T* p_ = nullptr;
};

// Interleaved PCM or 32-bit float, as a stream runs.
struct SampleFormat {
    int rate = 0;
    int channels = 0;
    int containerBytes = 0; // per sample: 2, 3 or 4
    int validBits = 0;
    bool isFloat = false;

    // "2 ch, 48000 Hz, 32-bit float"
    std::string describe() const;
    // Accepts PCM of 16, 24 or 32 bits and 32-bit float, plain or extensible; false otherwise.
    static bool from(const WAVEFORMATEX& wave, SampleFormat& format);
    WAVEFORMATEXTENSIBLE wave() const;
};

enum class Direction { Output, Input };

struct Endpoint {
    ComPtr<IMMDevice> device;
    std::string id, name;
    bool isDefault = false;
};

// COM for the calling thread, in the apartment the editor's window wants; balanced on exit.
class ComScope {
public:
    ComScope();
    ~ComScope();
    ComScope(const ComScope&) = delete;
    ComScope& operator=(const ComScope&) = delete;

private:
    bool initialised_ = false;
};

// Every active endpoint of a direction, the default first. Throws DeviceError.
std::vector<Endpoint> listEndpoints(Direction direction);

// The endpoint whose id is `wanted` or whose name contains it (case-insensitive); an exact
// name wins over a partial one. Empty `wanted`: the default endpoint. Throws DeviceError when
// none or several match; `required` false answers an empty Endpoint when the direction has no
// endpoint at all and nothing was asked for.
Endpoint chooseEndpoint(Direction direction, const std::string& wanted, bool required);

// The --list-devices text: both directions with their ids, mix formats and periods.
std::string describeEndpoints();

// "0x88890004 (the device was removed or its format changed)"
std::string describeResult(HRESULT result);

} // namespace gravelix::host

#include "wasapidevices_win32.h"

// The property keys are defined here, in this one file.
#include <initguid.h>

#include <functiondiscoverykeys_devpkey.h>

#include <algorithm>
#include <cstdio>
#include <cwctype>

namespace gravelix::host {

namespace {

// The KSDATAFORMAT sub-types for PCM and float differ only in their first field.
constexpr GUID kSubtypeBase = {
    0x00000000, 0x0000, 0x0010, {0x80, 0x00, 0x00, 0xaa, 0x00, 0x38, 0x9b, 0x71}};
constexpr unsigned long kPcm = 1;   // WAVE_FORMAT_PCM
constexpr unsigned long kFloat = 3; // WAVE_FORMAT_IEEE_FLOAT

GUID subtype(unsigned long tag) {
    GUID guid = kSubtypeBase;
    guid.Data1 = tag;
    return guid;
}

std::string narrow(const wchar_t* text) {
    if (!text) {
        return {};
    }
    const int size = WideCharToMultiByte(CP_UTF8, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 1) {
        return {};
    }
    std::string out(static_cast<std::size_t>(size - 1), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text, -1, out.data(), size, nullptr, nullptr);
    return out;
}

std::string lower(std::string text) {
    std::transform(text.begin(), text.end(), text.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return text;
}

const char* word(Direction direction) {
    return direction == Direction::Output ? "output" : "input";
}

ComPtr<IMMDeviceEnumerator> enumerator() {
    ComPtr<IMMDeviceEnumerator> devices;
    const HRESULT hr = CoCreateInstance(__uuidof(MMDeviceEnumerator), nullptr, CLSCTX_ALL,
                                        __uuidof(IMMDeviceEnumerator), devices.putVoid());
    if (FAILED(hr)) {
        throw DeviceError("Windows' audio device list is not available: " + describeResult(hr));
    }
    return devices;
}

std::string deviceId(IMMDevice* device) {
    LPWSTR id = nullptr;
    std::string text;
    if (SUCCEEDED(device->GetId(&id))) {
        text = narrow(id);
        CoTaskMemFree(id);
    }
    return text;
}

std::string friendlyName(IMMDevice* device) {
    ComPtr<IPropertyStore> store;
    std::string name;
    if (SUCCEEDED(device->OpenPropertyStore(STGM_READ, store.put()))) {
        PROPVARIANT value;
        PropVariantInit(&value);
        if (SUCCEEDED(store->GetValue(PKEY_Device_FriendlyName, &value)) && value.vt == VT_LPWSTR) {
            name = narrow(value.pwszVal);
        }
        PropVariantClear(&value);
    }
    return name;
}

// "2 ch, 48000 Hz, 32-bit float; period 10.0 ms, minimum 3.0 ms"
std::string describeDevice(IMMDevice* device) {
    ComPtr<IAudioClient> client;
    HRESULT hr = device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr, client.putVoid());
    if (FAILED(hr)) {
        return "cannot be opened: " + describeResult(hr);
    }
    WAVEFORMATEX* mix = nullptr;
    std::string text;
    if (SUCCEEDED(client->GetMixFormat(&mix))) {
        SampleFormat format;
        text = SampleFormat::from(*mix, format)
                   ? format.describe()
                   : std::to_string(mix->nChannels) + " ch, " +
                         std::to_string(mix->nSamplesPerSec) + " Hz, an unsupported sample format";
        CoTaskMemFree(mix);
    }
    REFERENCE_TIME period = 0, minimum = 0;
    if (SUCCEEDED(client->GetDevicePeriod(&period, &minimum))) {
        char line[96];
        std::snprintf(line, sizeof line, "; period %.1f ms, minimum %.1f ms", period / 1e4,
                      minimum / 1e4);
        text += line;
    }
    return text;
}

} // namespace

std::string SampleFormat::describe() const {
    std::string sample =
        isFloat ? "32-bit float"
        : validBits == containerBytes * 8
            ? std::to_string(validBits) + "-bit integer"
            : std::to_string(validBits) + "-bit integer in " + std::to_string(containerBytes * 8);
    return std::to_string(channels) + " ch, " + std::to_string(rate) + " Hz, " + sample;
}

bool SampleFormat::from(const WAVEFORMATEX& wave, SampleFormat& format) {
    unsigned long tag = wave.wFormatTag;
    int valid = wave.wBitsPerSample;
    if (tag == WAVE_FORMAT_EXTENSIBLE && wave.cbSize >= 22) {
        const auto& ext = reinterpret_cast<const WAVEFORMATEXTENSIBLE&>(wave);
        GUID base = ext.SubFormat;
        tag = base.Data1;
        base.Data1 = 0;
        if (!IsEqualGUID(base, kSubtypeBase)) {
            return false;
        }
        if (ext.Samples.wValidBitsPerSample != 0) {
            valid = ext.Samples.wValidBitsPerSample;
        }
    }
    const int bits = wave.wBitsPerSample;
    const bool ok =
        (tag == kFloat && bits == 32 && valid == 32) ||
        (tag == kPcm && (bits == 16 || bits == 24 || bits == 32) && valid <= bits && valid >= 16);
    if (!ok || wave.nChannels < 1 || wave.nSamplesPerSec < 1 ||
        wave.nBlockAlign != wave.nChannels * bits / 8) {
        return false;
    }
    format.rate = static_cast<int>(wave.nSamplesPerSec);
    format.channels = wave.nChannels;
    format.containerBytes = bits / 8;
    format.validBits = valid;
    format.isFloat = tag == kFloat;
    return true;
}

WAVEFORMATEXTENSIBLE SampleFormat::wave() const {
    WAVEFORMATEXTENSIBLE ext{};
    ext.Format.wFormatTag = WAVE_FORMAT_EXTENSIBLE;
    ext.Format.nChannels = static_cast<WORD>(channels);
    ext.Format.nSamplesPerSec = static_cast<DWORD>(rate);
    ext.Format.wBitsPerSample = static_cast<WORD>(containerBytes * 8);
    ext.Format.nBlockAlign = static_cast<WORD>(channels * containerBytes);
    ext.Format.nAvgBytesPerSec = ext.Format.nSamplesPerSec * ext.Format.nBlockAlign;
    ext.Format.cbSize = sizeof(WAVEFORMATEXTENSIBLE) - sizeof(WAVEFORMATEX);
    ext.Samples.wValidBitsPerSample = static_cast<WORD>(validBits);
    ext.dwChannelMask = channels == 1   ? SPEAKER_FRONT_CENTER
                        : channels == 2 ? SPEAKER_FRONT_LEFT | SPEAKER_FRONT_RIGHT
                                        : 0;
    ext.SubFormat = subtype(isFloat ? kFloat : kPcm);
    return ext;
}

ComScope::ComScope() {
    // The editor's window lives in a single-threaded apartment on this thread; any other
    // answer (already initialised either way) leaves COM as it is.
    const HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    initialised_ = hr == S_OK || hr == S_FALSE;
}

ComScope::~ComScope() {
    if (initialised_) {
        CoUninitialize();
    }
}

std::vector<Endpoint> listEndpoints(Direction direction) {
    const EDataFlow flow = direction == Direction::Output ? eRender : eCapture;
    auto devices = enumerator();
    std::string defaultId;
    {
        ComPtr<IMMDevice> device;
        if (SUCCEEDED(devices->GetDefaultAudioEndpoint(flow, eConsole, device.put()))) {
            defaultId = deviceId(device.get());
        }
    }
    ComPtr<IMMDeviceCollection> collection;
    HRESULT hr = devices->EnumAudioEndpoints(flow, DEVICE_STATE_ACTIVE, collection.put());
    if (FAILED(hr)) {
        throw DeviceError(std::string("the ") + word(direction) +
                          " devices cannot be listed: " + describeResult(hr));
    }
    UINT count = 0;
    collection->GetCount(&count);
    std::vector<Endpoint> endpoints;
    for (UINT i = 0; i < count; ++i) {
        Endpoint endpoint;
        if (FAILED(collection->Item(i, endpoint.device.put()))) {
            continue;
        }
        endpoint.id = deviceId(endpoint.device.get());
        endpoint.name = friendlyName(endpoint.device.get());
        endpoint.isDefault = !defaultId.empty() && endpoint.id == defaultId;
        endpoints.push_back(std::move(endpoint));
    }
    std::stable_partition(endpoints.begin(), endpoints.end(),
                          [](const Endpoint& e) { return e.isDefault; });
    return endpoints;
}

Endpoint chooseEndpoint(Direction direction, const std::string& wanted, bool required) {
    std::vector<Endpoint> endpoints = listEndpoints(direction);
    const std::string hint = "; `gravelix-host play --list-devices` lists them";
    if (wanted.empty()) {
        if (endpoints.empty()) {
            if (!required) {
                return {};
            }
            throw DeviceError(std::string("there is no ") + word(direction) + " device" + hint);
        }
        return std::move(endpoints.front());
    }
    const std::string key = lower(wanted);
    std::vector<std::size_t> exact, partial;
    for (std::size_t i = 0; i < endpoints.size(); ++i) {
        const std::string name = lower(endpoints[i].name);
        if (lower(endpoints[i].id) == key || name == key) {
            exact.push_back(i);
        } else if (name.find(key) != std::string::npos) {
            partial.push_back(i);
        }
    }
    const auto& found = exact.empty() ? partial : exact;
    if (found.empty()) {
        throw DeviceError(std::string("no ") + word(direction) + " device matches '" + wanted +
                          "'" + hint);
    }
    if (found.size() > 1) {
        std::string names;
        for (std::size_t i : found) {
            names += (names.empty() ? "'" : ", '") + endpoints[i].name + "'";
        }
        throw DeviceError("'" + wanted + "' matches " + std::to_string(found.size()) + " " +
                          word(direction) + " devices (" + names +
                          "); give more of the name or the id" + hint);
    }
    return std::move(endpoints[found.front()]);
}

std::string describeEndpoints() {
    std::string text;
    for (Direction direction : {Direction::Output, Direction::Input}) {
        const auto endpoints = listEndpoints(direction);
        text += direction == Direction::Output ? "Output devices:\n" : "Input devices:\n";
        if (endpoints.empty()) {
            text += "  (none)\n";
        }
        for (const Endpoint& e : endpoints) {
            text += std::string("  ") + (e.isDefault ? "* " : "  ") + e.name + "\n      id " +
                    e.id + "\n      " + describeDevice(e.device.get()) + "\n";
        }
    }
    return text + "(* the default device; --output and --input take a part of a name or an id)\n";
}

std::string describeResult(HRESULT result) {
    char code[16];
    std::snprintf(code, sizeof code, "0x%08lx", static_cast<unsigned long>(result));
    const char* meaning = nullptr;
    switch (result) {
    case AUDCLNT_E_DEVICE_INVALIDATED:
        meaning = "the device was removed or its format changed";
        break;
    case AUDCLNT_E_DEVICE_IN_USE:
        meaning = "another program has the device to itself";
        break;
    case AUDCLNT_E_UNSUPPORTED_FORMAT:
        meaning = "the device does not take this sample format";
        break;
    case AUDCLNT_E_EXCLUSIVE_MODE_NOT_ALLOWED:
        meaning = "the device does not allow exclusive use";
        break;
    case AUDCLNT_E_SERVICE_NOT_RUNNING:
        meaning = "the Windows audio service is not running";
        break;
    case AUDCLNT_E_BUFFER_SIZE_ERROR:
        meaning = "the device does not take this buffer size";
        break;
    case E_OUTOFMEMORY:
        meaning = "out of memory";
        break;
    default:
        break;
    }
    return meaning ? std::string(code) + " (" + meaning + ")" : std::string(code);
}

} // namespace gravelix::host

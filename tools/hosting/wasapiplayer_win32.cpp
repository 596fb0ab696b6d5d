#include "wasapiplayer_win32.h"

#include <avrt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <system_error>

namespace gravelix::host {

namespace {

// Without an event for this long the output has stopped asking: ends the session, no hang.
constexpr DWORD kSilenceMs = 2000;
// The audio thread is asked to end and given this long.
constexpr DWORD kJoinMs = 10000;
constexpr DWORD kAutoConvert = 0x80000000u | 0x08000000u; // AUTOCONVERTPCM | SRC_DEFAULT_QUALITY

REFERENCE_TIME fromMs(int ms) {
    return static_cast<REFERENCE_TIME>(ms) * 10000;
}

UINT32 framesIn(REFERENCE_TIME time, int rate) {
    return static_cast<UINT32>((time * rate + 5000000) / 10000000);
}

// Sample formats an exclusive stream may take, best first: the mix format, then the common
// ones at its rate and channel count.
std::vector<SampleFormat> exclusiveCandidates(const SampleFormat& mix) {
    std::vector<SampleFormat> list = {mix};
    const SampleFormat kinds[] = {{0, 0, 4, 32, true},
                                  {0, 0, 4, 32, false},
                                  {0, 0, 4, 24, false},
                                  {0, 0, 3, 24, false},
                                  {0, 0, 2, 16, false}};
    for (SampleFormat f : kinds) {
        f.rate = mix.rate;
        f.channels = mix.channels;
        list.push_back(f);
    }
    return list;
}

// Reads one sample as float, full scale +-1. Called on the audio thread.
float readSample(const BYTE* p, const SampleFormat& f) {
    if (f.isFloat) {
        float x;
        std::memcpy(&x, p, sizeof x);
        return x;
    }
    std::int32_t v = 0;
    switch (f.containerBytes) {
    case 2: {
        std::int16_t s;
        std::memcpy(&s, p, sizeof s);
        return static_cast<float>(s) * (1.0f / 32768.0f);
    }
    case 3:
        v = static_cast<std::int32_t>(static_cast<std::uint32_t>(p[0]) << 8 |
                                      static_cast<std::uint32_t>(p[1]) << 16 |
                                      static_cast<std::uint32_t>(p[2]) << 24);
        break;
    default:
        std::memcpy(&v, p, sizeof v);
        break;
    }
    return static_cast<float>(static_cast<double>(v) * (1.0 / 2147483648.0));
}

// Writes one sample, clipped to full scale; NaN becomes silence. Called on the audio thread.
void writeSample(BYTE* p, const SampleFormat& f, float x) {
    if (f.isFloat) {
        std::memcpy(p, &x, sizeof x);
        return;
    }
    double v = x == x ? static_cast<double>(x) : 0.0;
    v = std::clamp(v, -1.0, 1.0);
    const int bits = f.containerBytes == 2 ? 16 : f.validBits;
    const double scale = static_cast<double>(1LL << (bits - 1));
    double scaled = v * scale;
    scaled = std::clamp(scaled, -scale, scale - 1.0);
    auto q = static_cast<std::int32_t>(scaled < 0 ? scaled - 0.5 : scaled + 0.5);
    q = std::clamp<std::int32_t>(q, static_cast<std::int32_t>(-scale),
                                 static_cast<std::int32_t>(scale - 1.0));
    switch (f.containerBytes) {
    case 2: {
        const auto s = static_cast<std::int16_t>(q);
        std::memcpy(p, &s, sizeof s);
        break;
    }
    case 3: {
        const auto u = static_cast<std::uint32_t>(q);
        p[0] = static_cast<BYTE>(u);
        p[1] = static_cast<BYTE>(u >> 8);
        p[2] = static_cast<BYTE>(u >> 16);
        break;
    }
    default: {
        // Valid bits sit at the top of the container.
        const auto u = static_cast<std::uint32_t>(q) << (32 - bits);
        std::memcpy(p, &u, sizeof u);
        break;
    }
    }
}

} // namespace

WasapiPlayer::WasapiPlayer(const PluginHost& plugin, const WasapiOptions& options)
    : engine_(plugin), exclusive_(options.exclusive) {
    if (options.bufferMs < 1 || options.bufferMs > 500) {
        throw std::runtime_error("--buffer takes 1 to 500 ms, not " +
                                 std::to_string(options.bufferMs));
    }
    if (!renderEvent_.handle || !captureEvent_.handle || !stopEvent_.handle) {
        throw std::runtime_error("could not create the audio thread's events");
    }
    openOutput(options);
    openInput(options);

    const int block = static_cast<int>(output_.bufferFrames);
    planes_.assign(4 * static_cast<std::size_t>(block), 0.0f);
    // Room for the input's own buffer and the output's, twice over, before anything is lost.
    fifo_.assign(2 * static_cast<std::size_t>(input_.bufferFrames + output_.bufferFrames) + 1,
                 0.0f);
    // Beyond one output period, an input period in hand: the next packet may come that much
    // after the output asks without the input running dry.
    primeFrames_ = input_.periodFrames;
    stallEvents_ = static_cast<long>(
        std::max<REFERENCE_TIME>(1, 10000 * static_cast<REFERENCE_TIME>(kSilenceMs) /
                                        std::max<REFERENCE_TIME>(1, output_.period)));
    engine_.configure(output_.format.rate, block);
}

WasapiPlayer::~WasapiPlayer() {
    stop();
}

void WasapiPlayer::initialise(Stream& stream, Direction direction, const SampleFormat& format,
                              REFERENCE_TIME duration, bool exclusive, DWORD flags) {
    const WAVEFORMATEXTENSIBLE wave = format.wave();
    const auto& waveFormat = reinterpret_cast<const WAVEFORMATEX&>(wave);
    const AUDCLNT_SHAREMODE mode =
        exclusive ? AUDCLNT_SHAREMODE_EXCLUSIVE : AUDCLNT_SHAREMODE_SHARED;
    const char* which = direction == Direction::Output ? "output" : "input";
    // Exclusive event-driven streams take one period as their buffer.
    REFERENCE_TIME periodicity = exclusive ? duration : 0;
    HRESULT hr =
        stream.client->Initialize(mode, flags, duration, periodicity, &waveFormat, nullptr);
    if (hr == AUDCLNT_E_BUFFER_SIZE_NOT_ALIGNED) {
        // The device names the nearest size it can do; a fresh client takes it.
        UINT32 frames = 0;
        stream.client->GetBufferSize(&frames);
        duration = static_cast<REFERENCE_TIME>(10000000.0 * frames / format.rate + 0.5);
        periodicity = duration;
        stream.client.reset();
        hr = stream.endpoint.device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                              stream.client.putVoid());
        if (SUCCEEDED(hr)) {
            hr =
                stream.client->Initialize(mode, flags, duration, periodicity, &waveFormat, nullptr);
        }
    }
    if (FAILED(hr)) {
        // Some drivers (Wine's among them) refuse event-driven exclusive use outright.
        throw DeviceError(std::string("the ") + which + " device '" + stream.endpoint.name +
                          "' would not start at " + format.describe() +
                          (exclusive ? " in exclusive mode: " : ": ") + describeResult(hr) +
                          (exclusive ? "; without --exclusive it plays in shared mode" : ""));
    }
    stream.format = format;
    stream.client->GetBufferSize(&stream.bufferFrames);
    REFERENCE_TIME defaultPeriod = 0, minimumPeriod = 0;
    stream.client->GetDevicePeriod(&defaultPeriod, &minimumPeriod);
    stream.period = exclusive ? duration : defaultPeriod;
    stream.periodFrames = exclusive
                              ? stream.bufferFrames
                              : std::min(stream.bufferFrames, framesIn(defaultPeriod, format.rate));
}

void WasapiPlayer::openOutput(const WasapiOptions& options) {
    output_.endpoint = chooseEndpoint(Direction::Output, options.output, true);
    HRESULT hr = output_.endpoint.device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                                   output_.client.putVoid());
    if (FAILED(hr)) {
        throw DeviceError("the output device '" + output_.endpoint.name +
                          "' cannot be opened: " + describeResult(hr));
    }
    WAVEFORMATEX* mixWave = nullptr;
    hr = output_.client->GetMixFormat(&mixWave);
    if (FAILED(hr)) {
        throw DeviceError("the output device '" + output_.endpoint.name +
                          "' has no format: " + describeResult(hr));
    }
    SampleFormat mix;
    const bool known = SampleFormat::from(*mixWave, mix);
    CoTaskMemFree(mixWave);
    if (!known) {
        throw DeviceError("the output device '" + output_.endpoint.name +
                          "' mixes in a sample format this player does not write");
    }
    const DWORD flags = AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_NOPERSIST;
    REFERENCE_TIME duration = fromMs(options.bufferMs);
    if (!exclusive_) {
        initialise(output_, Direction::Output, mix, duration, false, flags);
    } else {
        REFERENCE_TIME defaultPeriod = 0, minimumPeriod = 0;
        output_.client->GetDevicePeriod(&defaultPeriod, &minimumPeriod);
        duration = std::max(duration, minimumPeriod);
        SampleFormat chosen;
        for (const SampleFormat& f : exclusiveCandidates(mix)) {
            const WAVEFORMATEXTENSIBLE wave = f.wave();
            if (output_.client->IsFormatSupported(AUDCLNT_SHAREMODE_EXCLUSIVE,
                                                  reinterpret_cast<const WAVEFORMATEX*>(&wave),
                                                  nullptr) == S_OK) {
                chosen = f;
                break;
            }
        }
        if (chosen.rate == 0) {
            throw DeviceError("the output device '" + output_.endpoint.name +
                              "' takes none of 32-bit float, 32-, 24- or 16-bit integer at " +
                              std::to_string(mix.rate) + " Hz in exclusive mode");
        }
        initialise(output_, Direction::Output, chosen, duration, true, flags);
    }
    hr = output_.client->SetEventHandle(renderEvent_.handle);
    if (SUCCEEDED(hr)) {
        hr = output_.client->GetService(__uuidof(IAudioRenderClient), render_.putVoid());
    }
    if (FAILED(hr)) {
        throw DeviceError("the output device '" + output_.endpoint.name +
                          "' cannot be played to: " + describeResult(hr));
    }
}

void WasapiPlayer::openInput(const WasapiOptions& options) {
    input_.endpoint = chooseEndpoint(Direction::Input, options.input, !options.input.empty());
    if (!input_.endpoint.device) {
        return;
    }
    HRESULT hr = input_.endpoint.device->Activate(__uuidof(IAudioClient), CLSCTX_ALL, nullptr,
                                                  input_.client.putVoid());
    WAVEFORMATEX* mixWave = nullptr;
    if (SUCCEEDED(hr)) {
        hr = input_.client->GetMixFormat(&mixWave);
    }
    if (FAILED(hr)) {
        throw DeviceError("the input device '" + input_.endpoint.name +
                          "' cannot be opened: " + describeResult(hr));
    }
    SampleFormat mix;
    const bool known = SampleFormat::from(*mixWave, mix);
    CoTaskMemFree(mixWave);
    if (!known) {
        throw DeviceError("the input device '" + input_.endpoint.name +
                          "' records in a sample format this player does not read");
    }
    const int rate = output_.format.rate;
    // Input is taken as the output needs it: the buffer holds what comes in meanwhile, one of
    // the output's buffers and a period more at least. Four periods, as drivers like it (Wine's
    // ALSA driver fails reads longer than that).
    REFERENCE_TIME inputPeriod = 0, inputMinimum = 0;
    input_.client->GetDevicePeriod(&inputPeriod, &inputMinimum);
    const REFERENCE_TIME outputBuffer =
        static_cast<REFERENCE_TIME>(10000000.0 * output_.bufferFrames / rate + 0.5);
    const REFERENCE_TIME duration = std::max(4 * inputPeriod, outputBuffer + inputPeriod);
    if (!exclusive_) {
        DWORD flags = AUDCLNT_STREAMFLAGS_NOPERSIST;
        SampleFormat wanted = mix;
        if (mix.rate != rate) {
            // Windows converts a shared input to the output's rate when asked.
            wanted = {rate, mix.channels, 4, 32, true};
            flags |= kAutoConvert;
        }
        try {
            initialise(input_, Direction::Input, wanted, duration, false, flags);
        } catch (const DeviceError&) {
            if (mix.rate == rate) {
                throw;
            }
            throw DeviceError("the input device '" + input_.endpoint.name + "' runs at " +
                              std::to_string(mix.rate) + " Hz and the output at " +
                              std::to_string(rate) + " Hz; set both to one rate");
        }
    } else {
        REFERENCE_TIME defaultPeriod = 0, minimumPeriod = 0;
        input_.client->GetDevicePeriod(&defaultPeriod, &minimumPeriod);
        SampleFormat atRate = mix;
        atRate.rate = rate;
        SampleFormat chosen;
        for (const SampleFormat& f : exclusiveCandidates(atRate)) {
            const WAVEFORMATEXTENSIBLE wave = f.wave();
            if (input_.client->IsFormatSupported(AUDCLNT_SHAREMODE_EXCLUSIVE,
                                                 reinterpret_cast<const WAVEFORMATEX*>(&wave),
                                                 nullptr) == S_OK) {
                chosen = f;
                break;
            }
        }
        if (chosen.rate == 0) {
            throw DeviceError("the input device '" + input_.endpoint.name + "' cannot record at " +
                              std::to_string(rate) + " Hz in exclusive mode");
        }
        initialise(input_, Direction::Input, chosen, std::max(output_.period, minimumPeriod), true,
                   AUDCLNT_STREAMFLAGS_EVENTCALLBACK | AUDCLNT_STREAMFLAGS_NOPERSIST);
        hr = input_.client->SetEventHandle(captureEvent_.handle);
        if (FAILED(hr)) {
            throw DeviceError("the input device '" + input_.endpoint.name +
                              "' cannot be recorded from: " + describeResult(hr));
        }
    }
    hr = input_.client->GetService(__uuidof(IAudioCaptureClient), capture_.putVoid());
    if (FAILED(hr)) {
        throw DeviceError("the input device '" + input_.endpoint.name +
                          "' cannot be recorded from: " + describeResult(hr));
    }
}

std::string WasapiPlayer::describe() const {
    char buffer[64];
    const auto line = [&](const char* label, const Stream& s) {
        std::snprintf(buffer, sizeof buffer, "buffer %.1f ms (%u frames)",
                      1000.0 * s.bufferFrames / s.format.rate, s.bufferFrames);
        return std::string(label) + s.endpoint.name + " (" + s.format.describe() + ", " +
               (exclusive_ ? "exclusive" : "shared") + ", " + buffer + ")";
    };
    std::string text = line("Output: ", output_) + "\n";
    if (input_.client) {
        text += line("Input:  ", input_) + ", first channel to both inputs\n";
    } else {
        text += "Input:  none (no input device: the plug-in hears silence)\n";
    }
    return text;
}

std::string WasapiPlayer::goneReason() const {
    const HRESULT result = static_cast<HRESULT>(goneResult_.load());
    switch (gone_.load()) {
    case Gone::Output:
        return "the output device stopped: " + describeResult(result);
    case Gone::Input:
        return "the input device stopped: " + describeResult(result);
    case Gone::Silent:
        return "the output device stopped asking for audio";
    case Gone::Stalled:
        return "the output device stopped playing (its buffer stayed full for two seconds)";
    default:
        return {};
    }
}

void WasapiPlayer::start() {
    if (running_) {
        return;
    }
    engine_.resume();
    // A buffer of silence ahead, so the first period is not late.
    BYTE* data = nullptr;
    HRESULT hr = render_->GetBuffer(output_.bufferFrames, &data);
    if (SUCCEEDED(hr)) {
        hr = render_->ReleaseBuffer(output_.bufferFrames, AUDCLNT_BUFFERFLAGS_SILENT);
    }
    if (SUCCEEDED(hr) && input_.client) {
        hr = input_.client->Start();
    }
    if (SUCCEEDED(hr)) {
        hr = output_.client->Start();
    }
    if (FAILED(hr)) {
        engine_.suspend();
        throw DeviceError("the devices would not start: " + describeResult(hr));
    }
    ResetEvent(stopEvent_.handle);
    ResetEvent(threadDone_.handle);
    try {
        // A thread of the C++ library: the thread library knows it, so asking its id (each
        // host call records it) allocates nothing.
        thread_ = std::thread([this] {
            run();
            SetEvent(threadDone_.handle);
        });
    } catch (const std::system_error&) {
        output_.client->Stop();
        if (input_.client) {
            input_.client->Stop();
        }
        engine_.suspend();
        throw std::runtime_error("could not start the audio thread");
    }
    running_ = true;
}

void WasapiPlayer::stop() {
    if (!running_) {
        return;
    }
    running_ = false;
    SetEvent(stopEvent_.handle);
    if (WaitForSingleObject(threadDone_.handle, kJoinMs) == WAIT_OBJECT_0) {
        thread_.join();
    } else {
        // Stuck in the driver: leave it, with the plug-in as it is (it may still be in a
        // process call); the streams below are stopped under it.
        std::fprintf(stderr, "gravelix-host: the audio thread did not end in time\n");
        thread_.detach();
        output_.client->Stop();
        if (input_.client) {
            input_.client->Stop();
        }
        return;
    }
    output_.client->Stop();
    if (input_.client) {
        input_.client->Stop();
    }
    engine_.suspend();
}

// The audio thread: waits for the output's event and plays one period per event.
void WasapiPlayer::run() {
    const HRESULT com = CoInitializeEx(nullptr, COINIT_MULTITHREADED);
    DWORD task = 0;
    HANDLE mmcss = AvSetMmThreadCharacteristicsW(L"Pro Audio", &task);
    if (mmcss) {
        AvSetMmThreadPriority(mmcss, AVRT_PRIORITY_HIGH);
    } else {
        SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_TIME_CRITICAL);
    }
    PluginHost::prepareThread();
    const HANDLE events[2] = {stopEvent_.handle, renderEvent_.handle};
    for (;;) {
        const DWORD woke = WaitForMultipleObjects(2, events, FALSE, kSilenceMs);
        if (woke == WAIT_OBJECT_0) {
            break;
        }
        if (woke != WAIT_OBJECT_0 + 1) {
            fail(Gone::Silent, S_OK);
            break;
        }
        if (!pump()) {
            break;
        }
    }
    if (mmcss) {
        AvRevertMmThreadCharacteristics(mmcss);
    }
    if (SUCCEEDED(com)) {
        CoUninitialize();
    }
}

// Called on the audio thread; no allocation or lock, no system call but WASAPI's own.
void WasapiPlayer::fail(Gone what, HRESULT result) {
    goneResult_.store(static_cast<long>(result));
    gone_.store(what, std::memory_order_release);
}

// One output period: takes the input it needs, runs the plug-in, fills the output. False when
// a device has gone. Called on the audio thread; no allocation, lock or system call but
// WASAPI's buffer calls.
bool WasapiPlayer::pump() {
    UINT32 padding = 0;
    if (!exclusive_) {
        const HRESULT hr = output_.client->GetCurrentPadding(&padding);
        if (FAILED(hr)) {
            fail(Gone::Output, hr);
            return false;
        }
        // The device played everything it had: this period came too late.
        if (padding == 0 && outputStarted_) {
            engine_.countXrun();
        }
    }
    int frames = static_cast<int>(output_.bufferFrames - padding);
    if (frames <= 0) {
        // Events that keep coming while nothing is played: a device gone quiet under its driver.
        if (++fullEvents_ >= stallEvents_) {
            fail(Gone::Stalled, S_OK);
            return false;
        }
        return true;
    }
    fullEvents_ = 0;
    if (capture_) {
        if (!takeInput(static_cast<std::size_t>(frames) + primeFrames_)) {
            return false;
        }
        if (!primed_ && inputSeen_ && fifoCount_ >= frames + primeFrames_) {
            primed_ = true;
        }
        if (primed_ && fifoCount_ < static_cast<std::size_t>(frames)) {
            if (!exclusive_) {
                // Less input than room: the output takes what there is and holds less, so the
                // plug-in never hears a gap that was not in the input.
                frames = static_cast<int>(fifoCount_);
                if (frames == 0) {
                    return true;
                }
            } else {
                // An exclusive buffer must be filled whole: silence, and wait for input again.
                engine_.countXrun();
                primed_ = false;
            }
        }
    }
    fillInput(frames);
    const std::size_t block = output_.bufferFrames;
    float* const in[2] = {planes_.data(), planes_.data() + block};
    float* const out[2] = {planes_.data() + 2 * block, planes_.data() + 3 * block};
    engine_.process(in, out, frames);
    BYTE* data = nullptr;
    HRESULT hr = render_->GetBuffer(static_cast<UINT32>(frames), &data);
    if (SUCCEEDED(hr)) {
        writeOutput(data, frames);
        hr = render_->ReleaseBuffer(static_cast<UINT32>(frames), 0);
    }
    if (FAILED(hr)) {
        fail(Gone::Output, hr);
        return false;
    }
    outputStarted_ = true;
    return true;
}

// Takes input packets until `wanted` frames wait or the device has no more; what is not
// needed yet stays with the device. False when the input has gone. Called on the audio thread.
bool WasapiPlayer::takeInput(std::size_t wanted) {
    while (fifoCount_ < wanted) {
        UINT32 packet = 0;
        HRESULT hr = capture_->GetNextPacketSize(&packet);
        if (FAILED(hr)) {
            fail(Gone::Input, hr);
            return false;
        }
        if (packet == 0) {
            return true;
        }
        BYTE* data = nullptr;
        UINT32 frames = 0;
        DWORD flags = 0;
        hr = capture_->GetBuffer(&data, &frames, &flags, nullptr, nullptr);
        if (hr == AUDCLNT_S_BUFFER_EMPTY) {
            return true;
        }
        if (FAILED(hr)) {
            fail(Gone::Input, hr);
            return false;
        }
        if ((flags & AUDCLNT_BUFFERFLAGS_DATA_DISCONTINUITY) && inputSeen_) {
            engine_.countXrun();
        }
        inputSeen_ = true;
        readInput(data, frames, (flags & AUDCLNT_BUFFERFLAGS_SILENT) != 0);
        hr = capture_->ReleaseBuffer(frames);
        if (FAILED(hr)) {
            fail(Gone::Input, hr);
            return false;
        }
    }
    return true;
}

// Keeps the first channel of a packet; the oldest waiting input makes room when full.
// Called on the audio thread.
void WasapiPlayer::readInput(const BYTE* data, UINT32 frames, bool silent) {
    const SampleFormat& f = input_.format;
    const std::size_t stride = static_cast<std::size_t>(f.channels) * f.containerBytes;
    const std::size_t size = fifo_.size();
    for (UINT32 i = 0; i < frames; ++i) {
        if (fifoCount_ == size) {
            fifoRead_ = (fifoRead_ + 1) % size;
            --fifoCount_;
            if (i == 0) {
                engine_.countXrun();
            }
        }
        fifo_[(fifoRead_ + fifoCount_) % size] = silent ? 0.0f : readSample(data + i * stride, f);
        ++fifoCount_;
    }
}

// The plug-in's two inputs for one period: silence until enough input waits, then the input.
// Called on the audio thread.
void WasapiPlayer::fillInput(int frames) {
    float* left = planes_.data();
    float* right = left + output_.bufferFrames;
    const auto count = static_cast<std::size_t>(frames);
    if (!primed_) {
        std::fill(left, left + frames, 0.0f);
    } else {
        const std::size_t size = fifo_.size();
        for (std::size_t i = 0; i < count; ++i) {
            left[i] = fifo_[(fifoRead_ + i) % size];
        }
        fifoRead_ = (fifoRead_ + count) % size;
        fifoCount_ -= count;
    }
    std::copy(left, left + frames, right);
}

// The plug-in's two outputs to the device's first two channels, the others silent.
// Called on the audio thread.
void WasapiPlayer::writeOutput(BYTE* data, int frames) const {
    const SampleFormat& f = output_.format;
    const float* left = planes_.data() + 2 * output_.bufferFrames;
    const float* right = left + output_.bufferFrames;
    for (int i = 0; i < frames; ++i) {
        for (int c = 0; c < f.channels; ++c) {
            const float x = c == 0 ? left[i] : c == 1 ? right[i] : 0.0f;
            writeSample(data + (static_cast<std::size_t>(i) * f.channels + c) * f.containerBytes, f,
                        x);
        }
    }
}

} // namespace gravelix::host

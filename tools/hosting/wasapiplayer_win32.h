// Live audio through a loaded plug-in on Windows' own audio interface (WASAPI): event-driven,
// shared mode at the output's mix format by default, or exclusive. The first input channel
// feeds both of the plug-in's inputs; its two outputs go to the output's first two channels.
#pragma once

#include "playengine.h"
#include "pluginhost.h"
#include "wasapidevices_win32.h"

#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace gravelix::host {

struct WasapiOptions {
    std::string output, input; // part of a name or an id; empty: the default device
    bool exclusive = false;
    int bufferMs = 10;
};

class WasapiPlayer {
public:
    // Opens both devices and tells the plug-in the output's rate and block size, and that
    // its process calls are real-time. No input device at all (and none asked for) plays
    // silence into the plug-in. Throws DeviceError or std::runtime_error. Called on the main
    // thread, as are all members below.
    WasapiPlayer(const PluginHost& plugin, const WasapiOptions& options);
    ~WasapiPlayer();
    WasapiPlayer(const WasapiPlayer&) = delete;
    WasapiPlayer& operator=(const WasapiPlayer&) = delete;

    // Resumes the plug-in and starts the audio thread.
    void start();
    // Stops the audio thread and the streams and suspends the plug-in; idempotent.
    void stop();

    int sampleRate() const { return engine_.sampleRate(); }
    int blockSize() const { return engine_.blockSize(); }
    // One line per direction: device, format, mode and buffer.
    std::string describe() const;
    // Glitches are late or lost buffers of either direction.
    PlayLoad takeLoad() { return engine_.takeLoad(); }

    // Set once a device has stopped working under us (removed, format changed, silent).
    bool deviceGone() const { return gone_.load(std::memory_order_acquire) != Gone::No; }
    std::string goneReason() const;

private:
    struct Stream {
        Endpoint endpoint;
        ComPtr<IAudioClient> client;
        SampleFormat format;
        UINT32 bufferFrames = 0;
        UINT32 periodFrames = 0;
        REFERENCE_TIME period = 0;
    };
    enum class Gone : int { No, Output, Input, Silent, Stalled };
    // An event that is closed when it goes.
    struct Event {
        HANDLE handle = nullptr;
        explicit Event(BOOL manualReset)
            : handle(CreateEventW(nullptr, manualReset, FALSE, nullptr)) {}
        ~Event() {
            if (handle) {
                CloseHandle(handle);
            }
        }
        Event(const Event&) = delete;
        Event& operator=(const Event&) = delete;
    };

    void openOutput(const WasapiOptions& options);
    void openInput(const WasapiOptions& options);
    void initialise(Stream& stream, Direction direction, const SampleFormat& format,
                    REFERENCE_TIME duration, bool exclusive, DWORD flags);
    void run();
    bool pump();
    bool takeInput(std::size_t wanted);
    void readInput(const BYTE* data, UINT32 frames, bool silent);
    void fillInput(int frames);
    void writeOutput(BYTE* data, int frames) const;
    void fail(Gone what, HRESULT result);

    PlayEngine engine_;
    ComScope com_;
    bool exclusive_ = false;
    Stream output_, input_;
    ComPtr<IAudioRenderClient> render_;
    ComPtr<IAudioCaptureClient> capture_;
    Event renderEvent_{FALSE}, captureEvent_{FALSE}, stopEvent_{TRUE};
    Event threadDone_{TRUE};
    std::thread thread_;
    bool running_ = false;

    // Owned by the audio thread while it runs: the input's first channel waiting to be
    // played, and the planar blocks handed to the plug-in.
    std::vector<float> fifo_;
    std::size_t fifoRead_ = 0, fifoCount_ = 0;
    std::size_t primeFrames_ = 0;
    bool primed_ = false, inputSeen_ = false, outputStarted_ = false;
    // Events in a row that found the output full, and how many mean it has stopped playing.
    long fullEvents_ = 0, stallEvents_ = 0;
    std::vector<float> planes_; // in L, in R, out L, out R; blockSize() frames each

    std::atomic<Gone> gone_{Gone::No};
    std::atomic<long> goneResult_{0};
};

} // namespace gravelix::host

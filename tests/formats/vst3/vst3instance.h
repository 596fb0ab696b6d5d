// A small VST3 host for the tests: a library loaded through the tests' plug-in loader, and one
// instance of its pedal (processor and controller, connected as hosts connect them) with host
// objects that answer what a pedal asks for and record every call it makes back.
#pragma once

#include "pluginlibrary.h"

#include <pluginterfaces/base/ibstream.h>
#include <pluginterfaces/base/ipluginbase.h>
#include <pluginterfaces/gui/iplugview.h>
#include <pluginterfaces/vst/ivstaudioprocessor.h>
#include <pluginterfaces/vst/ivstcomponent.h>
#include <pluginterfaces/vst/ivsteditcontroller.h>
#include <pluginterfaces/vst/ivstmessage.h>
#include <pluginterfaces/vst/ivstunits.h>

#include <cstdint>
#include <limits>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <thread>
#include <vector>

class Vst3Library {
public:
    // Loads the library (the .so or .vst3 file inside a bundle) and calls its module entry.
    explicit Vst3Library(const std::string& path);
    ~Vst3Library();
    Vst3Library(const Vst3Library&) = delete;
    Vst3Library& operator=(const Vst3Library&) = delete;

    bool loaded() const { return factory_ != nullptr; }
    const std::string& error() const { return why; }
    Steinberg::IPluginFactory* factory() const { return factory_; }

private:
    PluginLibrary library;
    Steinberg::IPluginFactory* factory_ = nullptr;
    std::string why;
};

// A parameter change as the host sends it, at a frame of the block.
struct ParamPoint {
    Steinberg::int32 offset;
    Steinberg::Vst::ParamID id;
    double value;
};

// A stream over bytes that moves at most `chunk` bytes per read and starts at `at`.
class TestStream final : public Steinberg::IBStream {
public:
    explicit TestStream(std::vector<std::uint8_t> bytes = {},
                        std::size_t chunk = std::numeric_limits<std::size_t>::max(),
                        std::size_t at = 0)
        : bytes(std::move(bytes)), chunk(chunk), at(at) {}
    Steinberg::tresult PLUGIN_API queryInterface(const Steinberg::TUID, void**) override;
    Steinberg::uint32 PLUGIN_API addRef() override { return 1; }
    Steinberg::uint32 PLUGIN_API release() override { return 1; }
    Steinberg::tresult PLUGIN_API read(void* buffer, Steinberg::int32 numBytes,
                                       Steinberg::int32* numBytesRead) override;
    Steinberg::tresult PLUGIN_API write(void* buffer, Steinberg::int32 numBytes,
                                        Steinberg::int32* numBytesWritten) override;
    Steinberg::tresult PLUGIN_API seek(Steinberg::int64 pos, Steinberg::int32 mode,
                                       Steinberg::int64* result) override;
    Steinberg::tresult PLUGIN_API tell(Steinberg::int64* pos) override;

    std::vector<std::uint8_t> bytes;
    std::size_t chunk;
    std::size_t at;
};

class Vst3Instance {
public:
    // Creates both halves, initialises them with this host, connects them and hands the
    // controller the processor's state, as hosts do; ok() is false when any of that failed.
    explicit Vst3Instance(Vst3Library& library);
    ~Vst3Instance();
    Vst3Instance(const Vst3Instance&) = delete;
    Vst3Instance& operator=(const Vst3Instance&) = delete;

    bool ok() const { return component_ && processor_ && controller_; }
    Steinberg::Vst::IComponent* component() const { return component_; }
    Steinberg::Vst::IAudioProcessor* processor() const { return processor_; }
    Steinberg::Vst::IEditController* controller() const { return controller_; }
    // The controller's program list; null without one.
    Steinberg::Vst::IUnitInfo* units() const { return units_; }

    // setupProcessing at the rate, setActive and setProcessing; deactivate the reverse.
    bool activate(double rate, Steinberg::int32 maxFrames = 4096);
    void deactivate();

    // One process call over separate input and output buffers (in place when they are the same)
    // with these changes as its parameter queues, one per id in order of first appearance.
    Steinberg::tresult process(const float* inL, const float* inR, float* outL, float* outR,
                               Steinberg::int32 frames,
                               const std::vector<ParamPoint>& changes = {});

    std::optional<std::vector<std::uint8_t>> save();
    Steinberg::tresult load(TestStream& stream);
    Steinberg::tresult loadController(TestStream& stream);

    // A message as this host makes them for the plug-in; the instance keeps it.
    Steinberg::Vst::IMessage* makeMessage(const char* id);

    // The controller's text for a value and back.
    std::string text(Steinberg::Vst::ParamID id, double value);
    std::optional<double> valueOf(Steinberg::Vst::ParamID id, const std::string& text);

    // What the plug-in asked of the host.
    struct Edit {
        char kind; // 'b'egin, 'p'erform, 'e'nd
        Steinberg::Vst::ParamID id;
        double value;
    };
    struct Calls {
        std::vector<Edit> edits;
        std::vector<Steinberg::int32> restarts;
        std::vector<std::pair<Steinberg::int32, Steinberg::int32>> resizes;
        // Host calls made from a thread other than the one that made the instance.
        int offMainThread = 0;
    };
    const Calls& calls() const { return calls_; }
    void clearCalls() { calls_ = {}; }

    // The editor: a view from the controller with this host's frame (which lends a run loop).
    Steinberg::IPlugView* createView();
    void releaseView();
    Steinberg::IPlugView* view() const { return view_; }
    // The run loop's timers (with their periods) and descriptors held now.
    std::size_t timerCount() const;
    std::size_t descriptorCount() const;
    int timersEverRegistered() const { return timersEver; }
    void fireTimers();
    void fireDescriptors();
    bool withRunLoop = true;
    bool resizeAnswer = true;

    struct Host;

private:
    friend struct Host;
    void noteThread();

    std::unique_ptr<Host> host;
    Steinberg::Vst::IComponent* component_ = nullptr;
    Steinberg::Vst::IAudioProcessor* processor_ = nullptr;
    Steinberg::Vst::IEditController* controller_ = nullptr;
    Steinberg::Vst::IUnitInfo* units_ = nullptr;
    Steinberg::IPlugView* view_ = nullptr;
    std::thread::id mainThread = std::this_thread::get_id();
    Calls calls_;
    std::vector<Steinberg::Vst::IMessage*> messages;
    int timersEver = 0;
    bool active = false;
};

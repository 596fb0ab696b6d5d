// What keeps an open editor alive in a VST3 host on this platform: the window type it embeds
// into and the calls that idle it. Each platform's vst3viewdriver_*.cpp defines it.
#pragma once

#include <pluginterfaces/gui/iplugview.h>

#include <functional>

class Vst3ViewDriver {
public:
    Vst3ViewDriver();
    ~Vst3ViewDriver();
    Vst3ViewDriver(const Vst3ViewDriver&) = delete;
    Vst3ViewDriver& operator=(const Vst3ViewDriver&) = delete;

    static bool supports(Steinberg::FIDString type);
    // Whether `frame` can drive an editor here (on Linux: it has a run loop).
    static bool canDrive(Steinberg::IPlugFrame* frame);
    // Calls `idle` on the host's thread until stop; false when nothing could drive it.
    bool start(Steinberg::IPlugFrame* frame, std::function<void()> idle);
    void stop();

private:
    struct Impl;
    Impl* impl;
};

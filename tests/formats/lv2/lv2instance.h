// A small LV2 host for the tests: a pedal's library opened with dlopen, its descriptor, and
// instances with their ports connected to buffers of the test's; plus a runner with the VST 2.4
// runner's interface (pluginrunner.h) so that the sound identity checks drive either.
#pragma once

#include <lv2/core/lv2.h>

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <string>
#include <vector>

#include "gravelixprogram.h"
#include "lv2pedaluri.h"
#include "parametertable.h"
#include "pluginrunner.h"

class Lv2Library {
public:
    explicit Lv2Library(const char* path) : handle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
        if (!handle) {
            why = dlerror();
            return;
        }
        using Entry = const LV2_Descriptor* (*)(uint32_t);
        if (auto entry = reinterpret_cast<Entry>(dlsym(handle, "lv2_descriptor"))) {
            descriptor = entry(0);
            second = entry(1);
        }
    }
    ~Lv2Library() {
        if (handle) {
            dlclose(handle);
        }
    }
    Lv2Library(const Lv2Library&) = delete;
    Lv2Library& operator=(const Lv2Library&) = delete;

    void* handle;
    std::string why;
    const LV2_Descriptor* descriptor = nullptr;
    const LV2_Descriptor* second = nullptr;
};

// One instance with every control port on a value of its own (program 0's, as the host's
// defaults) and the latency port connected.
class Lv2Instance {
public:
    Lv2Instance(const Lv2Library& library, double rate) : d(library.descriptor) {
        handle = d ? d->instantiate(d, rate, "/nonexistent/", nullptr) : nullptr;
        if (!handle) {
            return;
        }
        for (std::int32_t i = 0; i < kParameterCount; ++i) {
            controls[static_cast<std::size_t>(i)] = defaultValue(parameterInfo(i));
            d->connect_port(handle, kLv2FirstControl + static_cast<unsigned>(i),
                            &controls[static_cast<std::size_t>(i)]);
        }
        d->connect_port(handle, kLv2LatencyPort, &latency);
    }
    ~Lv2Instance() {
        if (handle) {
            d->cleanup(handle);
        }
    }
    Lv2Instance(const Lv2Instance&) = delete;
    Lv2Instance& operator=(const Lv2Instance&) = delete;

    bool ok() const { return handle != nullptr; }
    void connect(unsigned port, void* data) { d->connect_port(handle, port, data); }
    void activate() { d->activate(handle); }
    void deactivate() { d->deactivate(handle); }
    void run(const float* inL, const float* inR, float* outL, float* outR, std::uint32_t n) {
        connect(kLv2InLeft, const_cast<float*>(inL));
        connect(kLv2InRight, const_cast<float*>(inR));
        connect(kLv2OutLeft, outL);
        connect(kLv2OutRight, outR);
        d->run(handle, n);
    }
    float& control(int index) { return controls[static_cast<std::size_t>(index)]; }
    void setProgram(int program) {
        for (const ParameterInfo& row : kParameterTable) {
            control(row.index) = kFactoryPrograms[program].*row.field;
        }
    }

    const LV2_Descriptor* d;
    LV2_Handle handle = nullptr;
    std::array<float, kParameterCount> controls{};
    float latency = -1.0f;
};

// An activated instance at a rate; a program is its values on the ports, a parameter change
// the port's new value, read by the next block's run; 64-frame blocks.
class Lv2Runner {
public:
    Lv2Runner(Lv2Library& library, float rate) : instance(library, rate) {
        if (instance.ok()) {
            instance.activate();
        }
    }
    bool ok() const { return instance.ok(); }
    void loadProgram(int program) { instance.setProgram(program); }
    void setParameter(int index, float value) { instance.control(index) = value; }
    void process(std::vector<float> left, std::vector<float> right, BitHash& hash) {
        std::vector<float> outL(left.size()), outR(left.size());
        for (std::size_t i = 0; i < left.size(); i += blockFrames) {
            const auto n =
                static_cast<std::uint32_t>(std::min<std::size_t>(blockFrames, left.size() - i));
            instance.run(left.data() + i, right.data() + i, outL.data() + i, outR.data() + i, n);
        }
        for (std::size_t i = 0; i < left.size(); ++i) {
            hash.add(&outL[i], 1);
            hash.add(&outR[i], 1);
        }
    }

    Lv2Instance instance;
};

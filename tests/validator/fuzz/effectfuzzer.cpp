// Drives one effect instance per input with a sequence of well-formed host requests decoded
// from the fuzzer's bytes: parameter values of every kind, programs and their names, texts
// into large buffers, editor requests without a window, process calls with any block size
// and sample values, rate and block size changes. Sanitizers catch memory and undefined
// behaviour; the checks below catch wrong answers a host would trip over.
#include "plugin/aeffect.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <vector>

extern "C" AEffect* VSTPluginMain(audioMasterCallback audioMaster);

namespace {

VstIntPtr host(AEffect*, VstInt32 opcode, VstInt32, VstIntPtr, void*, float) {
    return opcode == audioMasterVersion ? kVstVersion : 0;
}

[[noreturn]] void violated(const char* what) {
    std::fprintf(stderr, "effect fuzzer: %s\n", what);
    std::abort();
}

float anyFloat(FuzzedDataProvider& in) {
    switch (in.ConsumeIntegralInRange<int>(0, 9)) {
    case 0:
        return std::numeric_limits<float>::quiet_NaN();
    case 1:
        return std::numeric_limits<float>::infinity();
    case 2:
        return -std::numeric_limits<float>::infinity();
    case 3:
        return std::numeric_limits<float>::max();
    case 4:
        return std::numeric_limits<float>::denorm_min();
    case 5:
        return in.ConsumeFloatingPointInRange<float>(-2.0f, 2.0f);
    case 6:
        return in.ConsumeBool() ? 0.0f : 1.0f;
    default: {
        std::uint32_t bits = in.ConsumeIntegral<std::uint32_t>();
        float f;
        std::memcpy(&f, &bits, sizeof f);
        return f;
    }
    }
}

constexpr std::size_t kText = 1024;
constexpr char kFill = 0x5A;

// The plug-in's text must end within maxChars + 1 bytes and leave the rest alone.
void checkText(const char* buf, std::size_t maxChars, bool mayBeUntouched) {
    if (mayBeUntouched && buf[0] == kFill) {
        return;
    }
    const void* end = std::memchr(buf, 0, maxChars + 1);
    if (end == nullptr) {
        violated("text not terminated within its bound");
    }
    for (std::size_t i = maxChars + 1; i < kText; ++i) {
        if (buf[i] != kFill) {
            violated("text written beyond its bound");
        }
    }
}

struct Buffers {
    std::vector<float> storage[4];
    float* in[2];
    float* out[2];
};

void process(AEffect* e, FuzzedDataProvider& in) {
    const int frames = in.ConsumeBool() ? in.ConsumeIntegralInRange<int>(-4, 2048)
                                        : in.ConsumeIntegralInRange<int>(0, 64);
    const int n = frames > 0 ? frames : 0;
    constexpr int kGuard = 16;
    Buffers b;
    for (auto& s : b.storage) {
        s.assign(std::size_t(n + 2 * kGuard), 777.0f);
    }
    const bool inPlace = in.ConsumeBool();
    for (int c = 0; c < 2; ++c) {
        b.in[c] = b.storage[c].data() + kGuard;
        b.out[c] = inPlace ? b.in[c] : b.storage[2 + c].data() + kGuard;
        const int pattern = in.ConsumeIntegralInRange<int>(0, 3);
        for (int i = 0; i < n; ++i) {
            b.in[c][i] = pattern == 0   ? anyFloat(in)
                         : pattern == 1 ? in.ConsumeFloatingPointInRange<float>(-1.0f, 1.0f)
                         : pattern == 2 ? 0.0f
                                        : 4.0f * float((i / 50) % 2) - 2.0f;
        }
    }
    const std::vector<float> inL(b.in[0], b.in[0] + n), inR(b.in[1], b.in[1] + n);
    e->processReplacing(e, b.in, b.out, frames);
    for (int c = 0; c < 2; ++c) {
        for (int i = 0; i < n; ++i) {
            // Only a bypass may pass a broken or huge input sample on as it is.
            const bool brokenIn =
                !std::isfinite(inL[std::size_t(i)]) || !std::isfinite(inR[std::size_t(i)]) ||
                std::fabs(inL[std::size_t(i)]) > 1e30f || std::fabs(inR[std::size_t(i)]) > 1e30f;
            if (!std::isfinite(b.out[c][i]) && !brokenIn) {
                violated("non-finite output sample for finite input");
            }
        }
    }
    for (const auto& s : b.storage) {
        for (int i = 0; i < kGuard; ++i) {
            if (s[std::size_t(i)] != 777.0f || s[std::size_t(n + kGuard + i)] != 777.0f) {
                violated("process wrote outside the block");
            }
        }
    }
}

void request(AEffect* e, FuzzedDataProvider& in) {
    auto d = [e](VstInt32 op, VstInt32 index, VstIntPtr value, void* ptr, float opt) {
        return e->dispatcher(e, op, index, value, ptr, opt);
    };
    const VstInt32 params = e->numParams;
    const VstInt32 programs = e->numPrograms;
    char text[kText];
    std::memset(text, kFill, sizeof text);
    const auto anyIndex = [&](VstInt32 count) {
        return in.ConsumeBool() ? in.ConsumeIntegralInRange<VstInt32>(-2, count + 1)
                                : in.ConsumeIntegral<VstInt32>();
    };
    switch (in.ConsumeIntegralInRange<int>(0, 14)) {
    case 0: {
        const VstInt32 index = anyIndex(params);
        e->setParameter(e, index, anyFloat(in));
        const float v = e->getParameter(e, index);
        if (!(v >= 0.0f && v <= 1.0f) && !(index < 0 || index >= params)) {
            violated("parameter reads back outside 0..1");
        }
        break;
    }
    case 1:
        d(effSetProgram, 0, in.ConsumeBool() ? anyIndex(programs) : in.ConsumeIntegral<VstIntPtr>(),
          nullptr, 0.0f);
        break;
    case 2: {
        std::string name = in.ConsumeRandomLengthString(400);
        d(effSetProgramName, 0, 0, name.data(), 0.0f);
        d(effGetProgramName, 0, 0, text, 0.0f);
        checkText(text, 23, false);
        break;
    }
    case 3: {
        const VstInt32 index = anyIndex(params);
        const bool valid = index >= 0 && index < params;
        d(effGetParamDisplay, index, 0, text, 0.0f);
        checkText(text, 8, !valid);
        std::memset(text, kFill, sizeof text);
        d(effGetParamLabel, index, 0, text, 0.0f);
        checkText(text, 8, !valid);
        std::memset(text, kFill, sizeof text);
        d(effGetParamName, index, 0, text, 0.0f);
        checkText(text, 31, !valid);
        break;
    }
    case 4: {
        const VstInt32 index = anyIndex(programs);
        d(effGetProgramNameIndexed, index, in.ConsumeIntegral<VstInt32>(), text, 0.0f);
        checkText(text, 23, !(index >= 0 && index < programs));
        break;
    }
    case 5:
    case 6:
        process(e, in);
        break;
    case 7:
        d(effSetSampleRate, 0, 0, nullptr,
          in.ConsumeBool() ? anyFloat(in) : float(in.ConsumeIntegralInRange<int>(1, 400000)));
        break;
    case 8:
        d(effSetBlockSize, 0, in.ConsumeIntegralInRange<VstIntPtr>(-1, 1 << 16), nullptr, 0.0f);
        break;
    case 9:
        d(effMainsChanged, 0, in.ConsumeIntegralInRange<int>(0, 1), nullptr, 0.0f);
        break;
    case 10: {
        // Editor requests with no window: rectangle, idle, keys, knob mode, close.
        ERect* rect = nullptr;
        switch (in.ConsumeIntegralInRange<int>(0, 5)) {
        case 0:
            d(effEditGetRect, 0, 0, &rect, 0.0f);
            if (rect != nullptr && (rect->right < rect->left || rect->bottom < rect->top)) {
                violated("editor rectangle inside out");
            }
            break;
        case 1:
            d(effEditIdle, 0, 0, nullptr, 0.0f);
            break;
        case 2:
            d(effEditKeyDown, in.ConsumeIntegral<VstInt32>(), in.ConsumeIntegral<VstIntPtr>(),
              nullptr, anyFloat(in));
            break;
        case 3:
            d(effEditKeyUp, in.ConsumeIntegral<VstInt32>(), in.ConsumeIntegral<VstIntPtr>(),
              nullptr, anyFloat(in));
            break;
        case 4:
            d(effSetEditKnobMode, 0, in.ConsumeIntegral<VstIntPtr>(), nullptr, 0.0f);
            break;
        default:
            d(effEditClose, 0, 0, nullptr, 0.0f);
            break;
        }
        break;
    }
    case 11: {
        const VstInt32 ops[] = {effGetEffectName, effGetVendorString, effGetProductString};
        const VstInt32 op = ops[in.ConsumeIntegralInRange<int>(0, 2)];
        if (d(op, 0, 0, text, 0.0f) != 0) {
            checkText(text, op == effGetEffectName ? 32 : 64, false);
        }
        break;
    }
    case 12: {
        std::string query = in.ConsumeRandomLengthString(100);
        d(effCanDo, 0, 0, query.data(), 0.0f);
        std::string value = in.ConsumeRandomLengthString(100);
        d(effString2Parameter, anyIndex(params), 0, value.data(), 0.0f);
        break;
    }
    case 13: {
        // Requests without pointers, answered from the effect's state.
        const VstInt32 ops[] = {effGetProgram,
                                effGetVstVersion,
                                effGetPlugCategory,
                                effGetTailSize,
                                effIdentify,
                                effCanBeAutomated,
                                effGetVendorVersion,
                                effSetBypass,
                                effStartProcess,
                                effStopProcess,
                                effGetVu,
                                effSetProcessPrecision,
                                effGetNumMidiInputChannels,
                                effGetCurrentMidiProgram};
        d(ops[in.ConsumeIntegralInRange<std::size_t>(0, std::size(ops) - 1)], anyIndex(params),
          in.ConsumeIntegralInRange<VstIntPtr>(-1, 2), nullptr, anyFloat(in));
        break;
    }
    default:
        // Opcodes the effect does not know, with nothing to point at.
        d(in.ConsumeBool() ? in.ConsumeIntegralInRange<VstInt32>(80, 200)
                           : in.ConsumeIntegralInRange<VstInt32>(-100, -1),
          0, 0, nullptr, 0.0f);
        break;
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    AEffect* e = VSTPluginMain(host);
    if (e == nullptr) {
        violated("no effect");
    }
    e->dispatcher(e, effOpen, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effSetSampleRate, 0, 0, nullptr, 44100.0f);
    e->dispatcher(e, effSetBlockSize, 0, 2048, nullptr, 0.0f);
    e->dispatcher(e, effMainsChanged, 0, 1, nullptr, 0.0f);
    for (int steps = 0; steps < 200 && in.remaining_bytes() > 0; ++steps) {
        request(e, in);
    }
    e->dispatcher(e, effMainsChanged, 0, 0, nullptr, 0.0f);
    e->dispatcher(e, effClose, 0, 0, nullptr, 0.0f);
    return 0;
}

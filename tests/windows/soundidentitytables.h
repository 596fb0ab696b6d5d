// The output hashes every build of each pedal must give, whatever its plug-in format: the
// Linux and Windows libraries and the CLAP plug-ins are held to these one tables. The hashes are
// the Linux VST 2.4 build's output.
#pragma once

#include "tests/effect/soundfingerprint.h"

#include <cstdint>
#include <iterator>
#include <vector>

// Gravelix: every program at 44.1 kHz, and some at the other rates hosts run at.
inline std::vector<ProgramHash> soundIdentityPrograms() {
    std::vector<ProgramHash> cases(std::begin(kEveryProgramAt44k), std::end(kEveryProgramAt44k));
    cases.insert(cases.end(), {{0, 1.0f, 48000.0f, 0xf698451a0f5d9233u},
                               {1, 0.0f, 48000.0f, 0x7355447d621fc4adu},
                               {2, 1.0f, 88200.0f, 0x95ca1d88b6545d35u},
                               {3, 0.0f, 96000.0f, 0xc92892400e5eec05u},
                               {1, 1.0f, 192000.0f, 0xf066d24a273faee5u},
                               {2, 0.0f, 22050.0f, 0xcc4821295a7a9c89u}});
    return cases;
}

// Gravelix: each parameter swept in mono (see expectParameterSweepHashes).
inline constexpr std::uint64_t kParameterSweepHashes[10] = {
    0x3f496880275b2929u, 0x036247c222a89c41u, 0x135a5542e224def9u, 0x59dd26abff3b440du,
    0x477d0fec88bf6305u, 0x282a497b99db2165u, 0x5ed0f00418ee3299u, 0xfcb2d6459312d085u,
    0x54e4d5e07be8bf9cu, 0x4884a07742981ac5u};

// Gravelix HQ: every program at 44.1 kHz and at each of its oversampling factors.
inline const std::vector<ProgramHash> kHqSoundIdentityPrograms = {
    {0, 0.0f, 44100.0f, 0x11dd6573a8f1e1a9u}, {0, 1.0f, 44100.0f, 0x6dcb3c24b1467af5u},
    {1, 0.0f, 44100.0f, 0x51ba98dd5483cd21u}, {1, 1.0f, 44100.0f, 0x783e6a27db77977au},
    {2, 0.0f, 44100.0f, 0xe6f0b937c43eeb41u}, {2, 1.0f, 44100.0f, 0x370e064c12f54434u},
    {3, 0.0f, 44100.0f, 0x62c05f4a0d86f7ddu}, {3, 1.0f, 44100.0f, 0x7b25634b41fba3b9u},
    {1, 1.0f, 48000.0f, 0x2298f0a9af2d44afu}, {3, 1.0f, 96000.0f, 0x1c0ad607a47cdb7eu},
    {1, 0.0f, 192000.0f, 0xb4e4d13d02544e75u}};

// Gravelix HQ: each parameter swept in stereo, the knee and the limits included.
inline constexpr std::uint64_t kHqParameterSweepHashes[10] = {
    0x89ab85b33bbe3eb6u, 0x55b91f58bfff5449u, 0x13050106a4786f44u, 0xc1bedc3bc6c02ff3u,
    0xede84daf98c463e0u, 0x1e425d24a87e3a06u, 0xefd7d9516e45fbdau, 0xd93369345aa8517bu,
    0x241973a724885562u, 0xdd5097ea22b5fcc4u};

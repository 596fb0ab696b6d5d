// The pedals' VST3 class ids and the ids of what the controller shows beside the ten
// parameters. Hosts save all of them in projects: never change one once released.
#pragma once

#include <pluginterfaces/base/funknown.h>
#include <pluginterfaces/vst/vsttypes.h>

#include "pedalvariant.h"

namespace vst3ids {

struct ClassIds {
    Steinberg::TUID processor;
    Steinberg::TUID controller;
};

inline constexpr ClassIds kGravelix = {
    INLINE_UID(0xACF7760F, 0x557D46C8, 0xB0BE2573, 0xD2325F18),
    INLINE_UID(0x966528A4, 0x6D974A35, 0xA864EF16, 0xA3341D8E),
};
inline constexpr ClassIds kGravelixHq = {
    INLINE_UID(0xA3C35ACC, 0xA1B74F49, 0x8D83181F, 0x362AD770),
    INLINE_UID(0x7E99F201, 0x67A5422D, 0x806904BF, 0x9A15E69C),
};

// This library's pedal.
inline constexpr const ClassIds& kThisPedal =
    kPedalUniqueId == (('G' << 24) | ('r' << 16) | ('v' << 8) | 'H') ? kGravelixHq : kGravelix;

// The ten parameters keep their table index as id; the program change comes after them with
// room to spare.
inline constexpr Steinberg::Vst::ParamID kProgramParameter = 1000;
inline constexpr Steinberg::Vst::ProgramListID kProgramList = 1;

} // namespace vst3ids

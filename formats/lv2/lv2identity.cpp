#include "lv2identity.h"

#include "pedalvariant.h"

// GRAVELIX_LV2_IDENTITY names this build's function (plainPedalIdentity or hqPedalIdentity).
Lv2PedalIdentity GRAVELIX_LV2_IDENTITY() {
    return {kPedalProduct, kPedalId, kPedalDescription};
}

// One pedal as the bundle's data files name it; lv2identity.cpp is compiled once per pedal,
// each time against its own pedalvariant.h, since the two cannot share a translation unit.
#pragma once

struct Lv2PedalIdentity {
    const char* product;
    const char* id;
    const char* description;
};

Lv2PedalIdentity plainPedalIdentity();
Lv2PedalIdentity hqPedalIdentity();

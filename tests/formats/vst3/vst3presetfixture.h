// A preset file as a VST3 host writes it for Gravelix 1.4.0: the header with the processor's
// class id, the processor's state (the version-1 blob of pedalstatefixture.h: program 2, "TS",
// Distortion at 0.3) and the controller's, which is empty. Every later version must load it.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

inline const std::vector<std::uint8_t> kGravelixPreset = {
    'V',  'S',  'T',  '3',  0x01, 0x00, 0x00, 0x00, // magic, version 1
    'A',  'C',  'F',  '7',  '7',  '6',  '0',  'F',  '5',  '5',  '7',  'D',  '4',  '6',
    'C',  '8',  'B',  '0',  'B',  'E',  '2',  '5',  '7',  '3',  'D',  '2',  '3',  '2',
    '5',  'F',  '1',  '8',                          // the processor's class id
    0x64, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, // where the chunk list is
    0x47, 0x52, 0x56, 0x58, 0x01, 0x00, 0x00, 0x00, 0x02, 0x00, 0x00, 0x00, 0x66, 0x66,
    0x26, 0x3f, 0x9a, 0x99, 0x99, 0x3e, 0x00, 0x00, 0x00, 0x3f, 0x00, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x3f, 0xcd, 0xcc, 0x4c, 0x3f, 0x00, 0x00, 0x00, 0x3f, 0x00, 0x00,
    0x80, 0x3f, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x80, 0x3f, // 'Comp': the processor's state
    'L',  'i',  's',  't',  0x02, 0x00, 0x00, 0x00,             // two chunks
    'C',  'o',  'm',  'p',  0x30, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x34, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 'C',  'o',  'n',  't',  0x64, 0x00, 0x00, 0x00,
    0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00};

struct PresetFile {
    bool valid = false;
    std::string classId;
    std::vector<std::uint8_t> component;
};

// The class id and the 'Comp' chunk; valid only when the layout holds together.
inline PresetFile readPresetFile(const std::vector<std::uint8_t>& file) {
    auto number = [&](std::size_t at, std::size_t size) {
        std::uint64_t v = 0;
        for (std::size_t i = 0; i < size; ++i) {
            v |= static_cast<std::uint64_t>(file[at + i]) << (8 * i);
        }
        return v;
    };
    PresetFile preset;
    if (file.size() < 48 || std::memcmp(file.data(), "VST3", 4) != 0 || number(4, 4) != 1) {
        return preset;
    }
    preset.classId.assign(file.begin() + 8, file.begin() + 40);
    const std::uint64_t list = number(40, 8);
    if (list + 8 > file.size() || std::memcmp(file.data() + list, "List", 4) != 0) {
        return preset;
    }
    const std::uint64_t entries = number(list + 4, 4);
    for (std::uint64_t e = 0; e < entries; ++e) {
        const std::size_t at = list + 8 + e * 20;
        if (at + 20 > file.size()) {
            return preset;
        }
        const std::uint64_t offset = number(at + 4, 8), size = number(at + 12, 8);
        if (offset + size > file.size()) {
            return preset;
        }
        if (std::memcmp(file.data() + at, "Comp", 4) == 0) {
            preset.component.assign(file.begin() + offset, file.begin() + offset + size);
            preset.valid = true;
        }
    }
    return preset;
}

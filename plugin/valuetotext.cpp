#include "valuetotext.h"

#include <cmath>
#include <cstdint>
#include <cstring>

char* vst_strncpy(char* dst, const char* src, std::int32_t maxLen) {
    if (!dst || maxLen < 0) {
        return dst;
    }
    std::int32_t i = 0;
    if (src) {
        for (; i < maxLen && src[i] != 0; ++i) {
            dst[i] = src[i];
        }
    }
    for (; i <= maxLen; ++i) {
        dst[i] = 0;
    }
    return dst;
}

char* vst_strncat(char* dst, const char* src, std::int32_t maxLen) {
    if (!dst || maxLen < 0) {
        return dst;
    }
    std::int32_t length = 0;
    while (length < maxLen && dst[length] != 0) {
        ++length;
    }
    if (src) {
        for (; length < maxLen && *src != 0; ++length, ++src) {
            dst[length] = *src;
        }
    }
    dst[length] = 0;
    dst[maxLen] = 0;
    return dst;
}

namespace ValueToText {

void float2string(float value, char* text, std::int32_t maxLen) {
    double v = value;
    if (std::isnan(v)) {
        // A NaN would reach the digit conversion below, which has no defined result for it.
        vst_strncpy(text, "NaN", maxLen);
        return;
    }

    int count = 0;
    bool negative = false;
    bool huge = false;
    if (v < 0) {
        negative = true;
        v = -v;
        count = 1;
        huge = v > 9999999.0;
    } else {
        huge = v > 99999999.0;
    }
    if (huge) {
        vst_strncpy(text, "Huge!", maxLen);
        return;
    }

    // Built right to left; the scratch ends "<digits>.\0".
    char scratch[32];
    char* c = scratch + sizeof(scratch) - 1;
    *c-- = 0;
    *c-- = '.';
    double integ = std::floor(v);
    *c-- = static_cast<char>('0' + static_cast<int>(std::fmod(integ, 10.0)));
    integ /= 10.0;
    count += 2;
    while (integ >= 1.0 && count < 8) {
        *c-- = static_cast<char>('0' + static_cast<int>(std::fmod(integ, 10.0)));
        integ /= 10.0;
        ++count;
    }
    if (negative) {
        *c-- = '-';
    }
    vst_strncpy(text, c + 1, maxLen);
    if (count >= 8) {
        return;
    }

    const int decimals = 8 - count;
    double mantissa = std::fmod(v, 1.0) * std::pow(10.0, decimals);
    c = scratch + sizeof(scratch) - 1;
    *c-- = 0;
    for (int i = 0; i < decimals; ++i) {
        int digit = 0;
        if (mantissa > 0) {
            digit = static_cast<int>(std::fmod(mantissa, 10.0));
            mantissa /= 10.0;
        }
        *c-- = static_cast<char>('0' + digit);
    }
    vst_strncat(text, c + 1, maxLen);
}

void int2string(std::int32_t value, char* text, std::int32_t maxLen) {
    if (value >= 100000000) {
        vst_strncpy(text, "Huge!", maxLen);
        return;
    }
    // Widened so that the most negative value can be negated; negatives may have ten digits.
    std::int64_t v = value;
    if (v < 0) {
        vst_strncpy(text, "-", maxLen);
        v = -v;
    } else {
        vst_strncpy(text, "", maxLen);
    }
    if (v == 0) {
        vst_strncat(text, "0", maxLen);
        return;
    }
    bool written = false;
    for (std::int64_t divisor = v >= 1000000000 ? 1000000000 : 100000000; divisor >= 1;
         divisor /= 10) {
        const std::int64_t digit = v / divisor;
        v -= digit * divisor;
        if (written || digit > 0) {
            const char one[2] = {static_cast<char>('0' + digit), 0};
            vst_strncat(text, one, maxLen);
            written = true;
        }
    }
}

void dB2string(float value, char* text, std::int32_t maxLen) {
    if (value <= 0) {
        vst_strncpy(text, "-oo", maxLen);
        return;
    }
    const float logarithm = std::log10(value); // single precision on purpose
    float2string(static_cast<float>(20.0 * logarithm), text, maxLen);
}

void Hz2string(float samples, float sampleRate, char* text, std::int32_t maxLen) {
    if (samples == 0) {
        float2string(0.0f, text, maxLen);
        return;
    }
    float2string(sampleRate / samples, text, maxLen);
}

void ms2string(float samples, float sampleRate, char* text, std::int32_t maxLen) {
    float2string(static_cast<float>(static_cast<double>(samples) * 1000.0 / sampleRate), text,
                 maxLen);
}

} // namespace ValueToText

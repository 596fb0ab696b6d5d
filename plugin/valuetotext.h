// Number-to-text conversions for host displays (any plug-in format), and bounded text copies that
// never write past dst[maxLen]. A destination passed with maxLen n must hold n + 1 bytes.
#pragma once

#include <cstdint>

// Copies at most maxLen characters, zero-fills the rest and terminates at dst[maxLen];
// always writes exactly maxLen + 1 bytes. Answers dst.
char* vst_strncpy(char* dst, const char* src, std::int32_t maxLen);
// Appends src to dst without letting the text grow beyond maxLen characters; terminates at
// dst[maxLen]. Answers dst.
char* vst_strncat(char* dst, const char* src, std::int32_t maxLen);

// The conversions behind AudioEffect's text tools, usable without an effect.
namespace ValueToText {
// Eight characters at most: sign, digits and point; decimals truncated; "Huge!" when the
// integer part does not fit.
void float2string(float value, char* text, std::int32_t maxLen);
// Decimal integer; "Huge!" from 100000000 up.
void int2string(std::int32_t value, char* text, std::int32_t maxLen);
// Decibels of a linear gain; "-oo" at or below 0.
void dB2string(float value, char* text, std::int32_t maxLen);
// Frequency of a period given in samples.
void Hz2string(float samples, float sampleRate, char* text, std::int32_t maxLen);
// Duration of a number of samples in milliseconds.
void ms2string(float samples, float sampleRate, char* text, std::int32_t maxLen);
} // namespace ValueToText
